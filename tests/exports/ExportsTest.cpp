// The built shared library as the terminal sees it: loaded by path, each export found by its
// plain name in the dynamic symbol table. Each test loads its own copy of the file, so it
// starts from the state of a freshly loaded library whatever ran before it.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "ExportTable.h"
#include "connector/Globals.h"

namespace QvMT4Connector {
namespace {
using Tools::ExportTable;
namespace fs = std::filesystem;

// A private copy of the library, loaded; the file is removed at once (the mapping stays).
std::unique_ptr<ExportTable> LoadFreshCopy() {
  static std::atomic<int> copies{0};
  const fs::path copy = fs::temp_directory_path() / ("QvMT4Connector-test-" + std::to_string(::getpid()) + "-" +
                                                     std::to_string(copies++) + ".so");
  fs::copy_file(QV_LIBRARY_PATH, copy, fs::copy_options::overwrite_existing);
  auto table = std::make_unique<ExportTable>(copy.string());
  fs::remove(copy);
  return table;
}

class Exports : public ::testing::Test {
 protected:
  std::unique_ptr<ExportTable> qv = LoadFreshCopy();
};

TEST(ExportsSymbols, TheLibraryDefinesExactlyTheElevenExportsUnderTheirPlainNames) {
  const std::string command = std::string(QV_NM) + " -D --defined-only " + QV_LIBRARY_PATH;
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  ASSERT_TRUE(pipe);
  std::set<std::string> defined;
  char line[512];
  while (std::fgets(line, sizeof line, pipe.get()) != nullptr) {
    std::istringstream fields(line);
    std::string address, type, name;
    fields >> address >> type >> name;
    if (!name.empty()) defined.insert(name);
  }
  const std::set<std::string> expected(std::begin(ExportTable::kNames), std::end(ExportTable::kNames));
  EXPECT_EQ(expected.size(), 11u);
  EXPECT_EQ(defined, expected);
}

TEST_F(Exports, BeforeQvInitPollingAndDeInitAnswerFromTheEmptyState) {
  EXPECT_EQ(qv->QvReadResponses(), Globals::RESPONSE_ERROR);
  EXPECT_EQ(ExportTable::Take(qv->QvNextResponse()), Globals::Error);
  EXPECT_EQ(ExportTable::Take(qv->QvDeInit()), Globals::OK);
}

TEST_F(Exports, BeforeQvInitOrderFunctionsReturnAFailureText) {
  const std::vector<std::string> results{
      ExportTable::Take(qv->QvOrderOpen("e", "p", "s", 1, "EURUSD", 0, 0.1, 1.1, 1.0, 1.2, "ts", nullptr)),
      ExportTable::Take(qv->QvOrderCancel("e", "p", "s", 1, nullptr)),
      ExportTable::Take(qv->QvOrderClose("e", "p", "s", 1, "EURUSD", 0, 0.1, 1.1, "x")),
      ExportTable::Take(qv->QvOrderModify("e", "p", "s", 1, 0, 1, 1, 1, 1, 1, 1, nullptr)),
  };
  for (const auto& r : results) {
    EXPECT_NE(r, "");
    EXPECT_NE(r, "(null)");
    EXPECT_NE(r, Globals::OK);
  }
  // No result to read; they must simply come back.
  qv->QvCancelAllPendingSignals("e", "p");
  qv->ParamsRequest("e", "p", "s", 1, 2, -1, 0, 5, 0, 0, 0, 1, "v");
}

TEST_F(Exports, EveryTextResultIsANewAllocationThatTheCallerOwns) {
  char* first = qv->QvNextResponse();
  char* second = qv->QvNextResponse();
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_NE(first, second);
  EXPECT_STREQ(first, Globals::Error);  // unchanged by the second call
  EXPECT_EQ(ExportTable::Take(first), Globals::Error);
  EXPECT_EQ(ExportTable::Take(second), Globals::Error);
}

TEST_F(Exports, QvLogTakesAnyLevelAndAbsentTexts) {
  for (std::int32_t level : {-1, 0, 1, 2, 3, 4, 5, 6}) qv->QvLog(level, 17, "a", "b");
  qv->QvLog(3, -300, nullptr, nullptr);
  qv->QvLog(2, 0, "{0}", "{1} {{");
}

TEST_F(Exports, RacingFirstCallsAllGetTheirAnswers) {
  constexpr int kThreads = 8;
  std::atomic<int> ready{0};
  std::vector<std::int32_t> polls(kThreads);
  std::vector<std::string> nexts(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      ++ready;
      while (ready.load() < kThreads) std::this_thread::yield();
      if (t % 2 == 0) qv->QvLog(2, t, "race", "first call");
      polls[t] = qv->QvReadResponses();
      nexts[t] = ExportTable::Take(qv->QvNextResponse());
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(polls, std::vector<std::int32_t>(kThreads, Globals::RESPONSE_ERROR));
  EXPECT_EQ(nexts, std::vector<std::string>(kThreads, Globals::Error));
}

}  // namespace
}  // namespace QvMT4Connector
