// The built-in configuration's date-rolled file: names, appending, rolling, clean-up, line layout,
// the exclusive write lock and concurrent writers.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "LogSandbox.h"
#include "connector/implementation/LogTesting.h"
#include "connector/interface/FLogger.h"
#include "platform/Platform.h"

namespace {
namespace fs = std::filesystem;
using QvMT4Connector::Implementation::LogTesting::Reset;
using QvMT4Connector::Interface::FLogger;
using QvMT4Connector::Interface::ILogger;
using QvMT4Connector::TestSupport::At;
using QvMT4Connector::TestSupport::LogSandbox;

class FileOutput : public ::testing::Test {
 protected:
  fs::path FileOf(const std::string& date) const { return sandbox.LogFolder() / ("QvMT4Connector_" + date + ".log"); }
  std::string Read(const std::string& date) const { return LogSandbox::ReadFile(FileOf(date)); }
  std::vector<std::string> Names() const { return LogSandbox::FileNames(sandbox.LogFolder()); }

  LogSandbox sandbox;
};

TEST_F(FileOutput, AFreshFolderGetsOnlyTodaysDatedFile) {
  FLogger::Create("QvMT4")->Info("hello");
  EXPECT_EQ(Names(), std::vector<std::string>{"QvMT4Connector_2013-05-14.log"});
  EXPECT_EQ(LogSandbox::FileNames(sandbox.Folder() / "experts" / "logs"), std::vector<std::string>{"QvMT4Connector"});
  EXPECT_EQ(Read("2013-05-14"), "2013-05-14 09:03:07,045|INFO |QvMT4|hello\r\n");
}

struct LayoutCase {
  const char* name;
  void (*write)(ILogger&);
  const char* bytes;
};

TEST_F(FileOutput, LinesAreWrittenByteForByte) {
  const LayoutCase cases[] = {
      {"QvLog", [](ILogger& l) { l.logMT4(2, 200, "OK", "sent"); },
       "2013-05-14 09:03:07,045|INFO |RaRU4DAV|ZaRE4: ErrorCode:200 Status: OK Message: sent\r\n"},
      {"Debug", [](ILogger& l) { l.Debug("d"); }, "2013-05-14 09:03:07,045|DEBUG|RaRU4DAV|d\r\n"},
      {"Warn", [](ILogger& l) { l.Warn("w"); }, "2013-05-14 09:03:07,045|WARN |RaRU4DAV|w\r\n"},
      {"Error", [](ILogger& l) { l.Error("e"); }, "2013-05-14 09:03:07,045|ERROR|RaRU4DAV|e\r\n"},
      {"Fatal", [](ILogger& l) { l.FatalFormat("{0}", -300); }, "2013-05-14 09:03:07,045|FATAL|RaRU4DAV|-300\r\n"},
      {"with error", [](ILogger& l) { l.Info("sent", std::runtime_error("broken pipe\r\nat publish")); },
       "2013-05-14 09:03:07,045|INFO |RaRU4DAV|sent\r\nbroken pipe\r\nat publish\r\n"},
  };
  auto log = FLogger::Create("RaRU4DAV");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string before = Read("2013-05-14");
    c.write(*log);
    EXPECT_EQ(Read("2013-05-14"), before + c.bytes);
  }

  sandbox.SetNow(At(2013, 1, 2, 3, 4, 5, 6));
  Reset();
  FLogger::Create("QvMT4")->Info("padded");
  EXPECT_EQ(Read("2013-01-02"), "2013-01-02 03:04:05,006|INFO |QvMT4|padded\r\n");
}

TEST_F(FileOutput, ARestartOnTheSameDayAppends) {
  LogSandbox::WriteFile(FileOf("2013-05-14"), "earlier run\r\n");
  FLogger::Create("QvMT4")->Info("first");
  FLogger::Create("AmqpSender")->Info("second");  // a construction reconfigures: the file reopens
  Reset();                                        // as if the library were unloaded and loaded again
  FLogger::Create("QvMT4")->Info("third");
  EXPECT_EQ(Read("2013-05-14"),
            "earlier run\r\n"
            "2013-05-14 09:03:07,045|INFO |QvMT4|first\r\n"
            "2013-05-14 09:03:07,045|INFO |AmqpSender|second\r\n"
            "2013-05-14 09:03:07,045|INFO |QvMT4|third\r\n");
}

TEST_F(FileOutput, TheFirstLineAtOrAfterMidnightOpensTheNewDaysFile) {
  sandbox.SetNow(At(2013, 5, 14, 23, 59, 59, 999));
  auto log = FLogger::Create("QvMT4");
  log->Info("last of the day");
  sandbox.SetNow(At(2013, 5, 15, 0, 0, 0, 0));
  log->Info("first of the next");
  EXPECT_EQ(Read("2013-05-14"), "2013-05-14 23:59:59,999|INFO |QvMT4|last of the day\r\n");
  EXPECT_EQ(Read("2013-05-15"), "2013-05-15 00:00:00,000|INFO |QvMT4|first of the next\r\n");
}

TEST_F(FileOutput, ARollAppendsToAnExistingFileOfTheNewDay) {
  auto log = FLogger::Create("QvMT4");
  log->Info("old day");
  LogSandbox::WriteFile(FileOf("2013-05-15"), "written by another process\r\n");
  sandbox.SetNow(At(2013, 5, 15, 0, 0, 1, 0));
  log->Info("new day");
  EXPECT_EQ(Read("2013-05-15"), "written by another process\r\n2013-05-15 00:00:01,000|INFO |QvMT4|new day\r\n");
}

TEST_F(FileOutput, DaysWithoutLinesGetNoFiles) {
  auto log = FLogger::Create("QvMT4");
  log->Info("tuesday");
  sandbox.SetNow(At(2013, 5, 17, 10, 0, 0, 0));
  log->Info("friday");
  EXPECT_EQ(Names(), (std::vector<std::string>{"QvMT4Connector_2013-05-14.log", "QvMT4Connector_2013-05-17.log"}));
  EXPECT_EQ(Read("2013-05-17"), "2013-05-17 10:00:00,000|INFO |QvMT4|friday\r\n");
}

TEST_F(FileOutput, TheCleanUpKeepsTheLast31Dates) {
  // 40 dates up to 10 March 2024, across the leap day: 31 January to 10 March.
  std::vector<std::string> dates = {"2024-01-31"};
  for (int d = 1; d <= 29; ++d) dates.push_back((d < 10 ? "2024-02-0" : "2024-02-") + std::to_string(d));
  for (int d = 1; d <= 10; ++d) dates.push_back((d < 10 ? "2024-03-0" : "2024-03-") + std::to_string(d));
  ASSERT_EQ(dates.size(), 40u);
  for (const auto& date : dates) LogSandbox::WriteFile(FileOf(date), date + "\r\n");
  const char* strays[] = {"QvMT4Connector.log", "QvMT4Connector_old.txt", "QVMT4CONNECTOR_2024-03-01.log"};
  for (const char* name : strays) LogSandbox::WriteFile(sandbox.LogFolder() / name, "stray");
  const char* others[] = {"other.log", "QvMT4Connector_2024-03-01.log.bak"};
  for (const char* name : others) LogSandbox::WriteFile(sandbox.LogFolder() / name, "other");
  fs::create_directories(sandbox.LogFolder() / "QvMT4Connector_folder");

  sandbox.SetNow(At(2024, 3, 10, 12, 0, 0, 0));
  auto log = FLogger::Create("QvMT4");

  std::vector<std::string> expected(others, others + 2);
  for (std::size_t i = 9; i < dates.size(); ++i) expected.push_back("QvMT4Connector_" + dates[i] + ".log");
  expected.push_back("QvMT4Connector_folder");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Names(), expected);
  EXPECT_EQ(Read("2024-02-09"), "2024-02-09\r\n");  // today and the 30 days before it stay untouched
  EXPECT_EQ(Read("2024-02-29"), "2024-02-29\r\n");

  // The roll cleans up too.
  sandbox.SetNow(At(2024, 3, 11, 0, 0, 0, 0));
  log->Info("next day");
  EXPECT_FALSE(fs::exists(FileOf("2024-02-09")));
  EXPECT_TRUE(fs::exists(FileOf("2024-02-10")));
  EXPECT_TRUE(fs::exists(FileOf("2024-03-11")));
}

TEST_F(FileOutput, AFileHeldByAnotherWriterGetsNothingAndTheCallerGoesOn) {
  fs::create_directories(sandbox.LogFolder());
  {
    QvMT4Connector::Platform::LockedFile other(FileOf("2013-05-14").string(), false);
    other.Append("other writer\r\n");
    auto log = FLogger::Create("QvMT4");
    EXPECT_NO_THROW(log->Info("lost"));
    EXPECT_TRUE(sandbox.Diagnosed("held by another writer"));
  }
  FLogger::Create("QvMT4")->Info("kept");  // the next configuration opens it again
  EXPECT_EQ(Read("2013-05-14"), "other writer\r\n2013-05-14 09:03:07,045|INFO |QvMT4|kept\r\n");
}

TEST_F(FileOutput, AFolderThatCannotBeMadeIsReported) {
  LogSandbox::WriteFile(sandbox.Folder() / "experts" / "logs", "a file where the folder should be");
  auto log = FLogger::Create("QvMT4");
  EXPECT_NO_THROW(log->Info("nowhere"));
  EXPECT_TRUE(sandbox.Diagnosed("cannot make the log folder"));
}

// Lines of eight threads, each with an error text on a second line, while another thread keeps
// reconfiguring: every line comes out whole, none is lost, each thread's lines keep their order.
TEST_F(FileOutput, LinesOfEightThreadsNeverInterleave) {
  constexpr int kThreads = 8;
  constexpr int kLines = 300;
  const std::string filler(500, 'x');
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &filler] {
      auto log = FLogger::Create("T" + std::to_string(t));
      for (int i = 0; i < kLines; ++i) {
        log->Info(std::to_string(i) + " " + filler, std::runtime_error("error " + std::to_string(i)));
      }
    });
  }
  std::thread reconfigure([] {
    for (int i = 0; i < 20; ++i) FLogger::Create("QvMT4");
  });
  for (auto& th : threads) th.join();
  reconfigure.join();

  std::istringstream file(Read("2013-05-14"));
  std::vector<int> next(kThreads, 0);
  std::string line;
  std::string error;
  int count = 0;
  const std::string stamp = "2013-05-14 09:03:07,045|INFO |T";
  while (std::getline(file, line)) {
    ASSERT_TRUE(std::getline(file, error)) << "no error line after: " << line;
    ASSERT_EQ(line.compare(0, stamp.size(), stamp), 0) << line;
    const int t = line[stamp.size()] - '0';
    ASSERT_TRUE(t >= 0 && t < kThreads) << line;
    const std::string number = std::to_string(next[t]);
    EXPECT_EQ(line, stamp + std::to_string(t) + "|" + number + " " + filler + "\r");
    EXPECT_EQ(error, "error " + number + "\r");
    ++next[t];
    ++count;
  }
  EXPECT_EQ(count, kThreads * kLines);
}

}  // namespace
