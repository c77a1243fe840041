// QvMT4Connector.dll as the terminal uses it: loaded with LoadLibrary from the host program's
// folder, the exports found by their plain names and called with the 32-bit stdcall convention,
// text results released with CoTaskMemFree, unloaded with FreeLibrary after QvDeInit.
#include <gtest/gtest.h>

#include <windows.h>
// after windows.h
#include <objbase.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "Broker.h"
#include "ExportTable.h"
#include "StdcallProbe.h"
#include "amqp/Amqp.h"

namespace {
namespace fs = std::filesystem;
using QvMT4Connector::Tools::ExportTable;
using QvMT4Connector::WindowsTests::Arguments;
using QvMT4Connector::WindowsTests::CallAndMeasure;

std::string ProgramFolder() {
  char path[MAX_PATH] = {};
  const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string p(path, n);
  return p.substr(0, p.find_last_of('\\'));
}

const std::string kLibrary = ProgramFolder() + "\\QvMT4Connector.dll";

// A fresh load of the library for each test: its whole state starts empty and goes with it.
class Library : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(GetModuleHandleA(kLibrary.c_str()), nullptr) << "a previous test left the library loaded";
    table = std::make_unique<ExportTable>(kLibrary);
  }
  void TearDown() override {
    if (table && !unloaded) Unload();
  }
  // The terminal's FreeLibrary when the Expert Advisor goes; the library must really leave.
  void Unload() {
    HMODULE module = GetModuleHandleA(kLibrary.c_str());
    ASSERT_NE(module, nullptr);
    ASSERT_TRUE(FreeLibrary(module));
    unloaded = true;
    EXPECT_EQ(GetModuleHandleA(kLibrary.c_str()), nullptr) << "FreeLibrary left the library in the process";
  }
  std::unique_ptr<ExportTable> table;
  bool unloaded = false;
};

// ---- the probe itself tells the two conventions apart -------------------------------------------
std::int32_t __stdcall StdcallSum(std::int32_t a, double b, const char* c) {
  return a + static_cast<std::int32_t>(b) + (c != nullptr ? 1 : 0);
}
std::int32_t __cdecl CdeclSum(std::int32_t a, double b, const char* c) {
  return a + static_cast<std::int32_t>(b) + (c != nullptr ? 1 : 0);
}

TEST(StdcallProbe, MeasuresWhatTheCalleeRemoves) {
  const Arguments args = Arguments().Int(40).Double(1.0).Text("x");
  const auto std = CallAndMeasure(reinterpret_cast<const void*>(&StdcallSum), args);
  EXPECT_EQ(std.removedBytes, 16u);
  EXPECT_EQ(std.eax, 42u);
  const auto c = CallAndMeasure(reinterpret_cast<const void*>(&CdeclSum), args);
  EXPECT_EQ(c.removedBytes, 0u);
  EXPECT_EQ(c.eax, 42u);
}

// ---- every export: its plain name, its argument bytes, its result before QvInit ----------------
std::string TakeText(std::uint32_t eax) { return ExportTable::Take(reinterpret_cast<char*>(eax)); }

struct ExportCase {
  const char* name;
  Arguments args;
  std::uint32_t bytes;  // what the callee must remove
};

std::vector<ExportCase> ExportCases() {
  const char* t = "t";
  return {
      {"QvLog", Arguments().Int(3).Int(17).Text("a").Text("b"), 16},
      {"QvReadResponses", Arguments(), 0},
      {"QvNextResponse", Arguments(), 0},
      {"QvDeInit", Arguments(), 0},
      {"QvOrderOpen",
       Arguments().Text(t).Text(t).Text(t).Int(1).Text("EURUSD").Int(0).Double(0.1).Double(1.1).Double(1.0).Double(
           1.2).Text("2013.05.14 09:03").Text(nullptr),
       64},
      {"QvOrderCancel", Arguments().Text(t).Text(t).Text(t).Int(1).Text("c"), 20},
      {"QvOrderClose", Arguments().Text(t).Text(t).Text(t).Int(1).Text("EURUSD").Int(0).Double(0.1).Double(1.1).Text("c"),
       44},
      {"QvOrderModify",
       Arguments().Text(t).Text(t).Text(t).Int(1).Int(2).Double(1).Double(2).Double(3).Double(4).Double(5).Double(6).Text(
           "c"),
       72},
      {"QvCancelAllPendingSignals", Arguments().Text(t).Text(t), 8},
      {"ParamsRequest",
       Arguments().Text(t).Text(t).Text(t).Double(1.5).Int(1).Int(0).Int(2).Double(30).Int(-1).Int(0).Int(1).Int(0).Text(
           "7.0"),
       60},
      // An empty host name fails at once, without a broker.
      {"QvInit", Arguments().Text("").Text("a@b.c").Text("pw").Text("sys").Double(1.0).Text("7.0"), 28},
  };
}

TEST_F(Library, EachExportHasItsPlainNameAndRemovesItsArguments) {
  const auto cases = ExportCases();
  ASSERT_EQ(cases.size(), std::size(ExportTable::kNames));
  HMODULE module = GetModuleHandleA(kLibrary.c_str());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const FARPROC fn = GetProcAddress(module, c.name);
    ASSERT_NE(fn, nullptr);
    ASSERT_EQ(c.args.Bytes().size(), c.bytes);
    const auto r = CallAndMeasure(reinterpret_cast<const void*>(fn), c.args);
    EXPECT_EQ(r.removedBytes, c.bytes);
    const std::string name = c.name;
    if (name == "QvReadResponses") {
      EXPECT_EQ(static_cast<std::int32_t>(r.eax), -301);  // no receiver yet
    } else if (name == "QvNextResponse") {
      EXPECT_EQ(TakeText(r.eax), "Error");
    } else if (name == "QvDeInit") {
      EXPECT_EQ(TakeText(r.eax), "OK");
    } else if (name.rfind("QvOrder", 0) == 0) {
      const std::string text = TakeText(r.eax);  // no sender yet: the failure's text
      EXPECT_FALSE(text.empty());
      EXPECT_NE(text, "OK");
      EXPECT_NE(text, "(null)");
    } else if (name == "QvInit") {
      const std::string text = TakeText(r.eax);
      EXPECT_NE(text, "ok");
      EXPECT_NE(text, "(null)");
    }
  }
  // Decorated forms are not what the terminal looks for, and are not there.
  EXPECT_EQ(GetProcAddress(module, "_QvInit@28"), nullptr);
  EXPECT_EQ(GetProcAddress(module, "QvInit@28"), nullptr);
  // After a QvInit that could not connect, closing has no channel to close: a failure text.
  const std::string closed = ExportTable::Take(table->QvDeInit());
  EXPECT_FALSE(closed.empty());
  EXPECT_NE(closed, "(null)");
}

TEST_F(Library, TextResultsAreFreshCoTaskMemoryOwnedByTheCaller) {
  IMalloc* allocator = nullptr;
  ASSERT_EQ(CoGetMalloc(1, &allocator), S_OK);
  char* first = table->QvNextResponse();
  char* second = table->QvNextResponse();
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_NE(first, second);
  EXPECT_STREQ(first, "Error");  // still readable and unchanged after the second call
  EXPECT_STREQ(second, "Error");
  EXPECT_EQ(allocator->DidAlloc(first), 1) << "not from the COM task allocator";
  CoTaskMemFree(first);
  CoTaskMemFree(second);
  allocator->Release();
  EXPECT_EQ(ExportTable::Take(table->QvDeInit()), "OK");
}

// ---- one whole session against the local broker ---------------------------------------------------
namespace Amqp = QvMT4Connector::Amqp;
using QvMT4Connector::TestSupport::Deployment;

// The service's side, inside this test: sees the signals, sends the replies.
class Service {
 public:
  explicit Service(const std::string& routingKey) {
    Amqp::ConnectionFactory f;
    f.HostName = Deployment::Host;
    f.UserName = Deployment::User;
    f.Password = Deployment::Password;
    f.VirtualHost = Deployment::VirtualHost;
    connection_ = f.CreateConnection();
    channel_ = connection_->CreateModel();
    queue_ = channel_->QueueDeclare("", false, true, true).QueueName;
    channel_->QueueBind(queue_, Deployment::SignalsExchange, routingKey);
  }
  ~Service() { connection_->Abort(); }

  // The next signal text; fails the test after a few seconds without one.
  std::string NextSignal() {
    for (int i = 0; i < 100; ++i) {
      if (auto m = channel_->BasicGet(queue_, true)) return m->Body;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ADD_FAILURE() << "no signal arrived";
    return {};
  }
  void Reply(const std::string& routingKey, const std::string& text) {
    channel_->BasicPublish(Deployment::ResponsesExchange, routingKey, false, channel_->CreateBasicProperties(), text);
  }

 private:
  std::shared_ptr<Amqp::Connection> connection_;
  std::shared_ptr<Amqp::Channel> channel_;
  std::string queue_;
};

std::vector<std::string> Fields(const std::string& text) {
  std::vector<std::string> out;
  std::stringstream in(text);
  std::string f;
  while (std::getline(in, f, ',')) out.push_back(f);
  if (!text.empty() && text.back() == ',') out.emplace_back();
  return out;
}

// Polls until the library counts at least one reply (the broker routes asynchronously).
int WaitForReplies(const ExportTable& t) {
  int n = 0;
  for (int i = 0; i < 100 && n == 0; ++i) {
    n = t.QvReadResponses();
    if (n == 0) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return n;
}

// Everything the day files "QvMT4Connector_yyyy-MM-dd.log" of the folder hold.
std::string DayFiles(const fs::path& folder) {
  std::string all;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.rfind("QvMT4Connector_", 0) != 0 || it->path().extension() != ".log") continue;
    std::ifstream in(it->path(), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    all += text.str();
  }
  return all;
}

TEST_F(Library, WholeSessionAgainstTheBroker) {
  const std::string systemId = "win" + std::to_string(GetCurrentProcessId());
  const std::string email = "wine.test@example.com";
  Service service("mt4_signal.wine!test@example!com." + systemId);
  const std::string replyKey = "tsqv.response.human.svc." + systemId;
  const ExportTable& t = *table;

  ASSERT_EQ(ExportTable::Take(t.QvInit("127.0.0.1", email.c_str(), "secret", systemId.c_str(), 1.5, "7.0")), "ok");
  // "caf\xE9": the comment in the terminal's code page (1252 here); on the wire each
  // character outside ASCII is one "?".
  EXPECT_EQ(ExportTable::Take(t.QvOrderOpen(email.c_str(), "secret", systemId.c_str(), 11, "EURUSD", 0, 0.1, 1.1, 1.0,
                                            1.2, "2013.05.14 09:03", "caf\xE9")),
            "OK");
  EXPECT_EQ(ExportTable::Take(t.QvOrderClose(email.c_str(), "secret", systemId.c_str(), 11, "EURUSD", 0, 0.1, 1.15,
                                             nullptr)),
            "OK");
  EXPECT_EQ(ExportTable::Take(t.QvOrderCancel(email.c_str(), "secret", systemId.c_str(), 12, "c")), "OK");
  EXPECT_EQ(ExportTable::Take(t.QvOrderModify(email.c_str(), "secret", systemId.c_str(), 13, 2, 1, 0.9, 1.3, 1.05,
                                              0.95, 1.35, "m")),
            "OK");
  t.ParamsRequest(email.c_str(), "secret", systemId.c_str(), 1.5, 1, 0, 2, 30, -1, 0, 1, 0, "7.0");
  t.QvCancelAllPendingSignals(email.c_str(), "secret");

  const char* kinds[] = {"Login", "Open", "Close", "Cancel", "Replace", "Params", "CancelAllPendingSignals"};
  for (const char* kind : kinds) {
    const auto fields = Fields(service.NextSignal());
    ASSERT_FALSE(fields.empty());
    EXPECT_EQ(fields[0], kind);
    ASSERT_GE(fields.size(), 6u);
    EXPECT_EQ(fields[1], "d2luZS50ZXN0QGV4YW1wbGUuY29t");  // Base64 of the e-mail
    EXPECT_EQ(fields[3], systemId);
    if (fields[0] == "Open") {
      EXPECT_EQ(fields[4], "Y2FmPw==");  // Base64 of "caf?"
    }
  }

  service.Reply(replyKey, "first reply");
  service.Reply(replyKey, "second reply");
  int waiting = WaitForReplies(t);
  for (int i = 0; i < 20 && waiting < 2; ++i) waiting = t.QvReadResponses();
  ASSERT_EQ(waiting, 2);
  EXPECT_EQ(ExportTable::Take(t.QvNextResponse()), "first reply");
  EXPECT_EQ(ExportTable::Take(t.QvNextResponse()), "second reply");
  EXPECT_EQ(ExportTable::Take(t.QvNextResponse()), "");

  service.Reply(replyKey, "MT4002 logged in elsewhere");
  ASSERT_EQ(WaitForReplies(t), 1);
  EXPECT_EQ(ExportTable::Take(t.QvNextResponse()), "MT4002 logged in elsewhere");
  EXPECT_EQ(ExportTable::Take(t.QvDeInit()), "OK");

  Unload();  // after QvDeInit nothing of the library may still run

  // The log of the day, under the host program's folder.
  const fs::path logs = fs::path(ProgramFolder()) / "experts" / "logs" / "QvMT4Connector";
  EXPECT_NE(DayFiles(logs).find(systemId), std::string::npos) << "no session lines in " << logs.string();
}

}  // namespace
