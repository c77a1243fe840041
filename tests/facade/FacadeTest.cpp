// The facade RaRU4DAV against a recording core (through the FQvMT4 seam), and against the real
// core with fake messaging. The facade makes its core once per process, so the seam hands it
// a switch that forwards to whichever core the running test put in place.
#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "CallText.h"
#include "CaseName.h"
#include "FakeAmqp.h"
#include "LogCapture.h"
#include "connector/Globals.h"
#include "connector/RaRU4DAV.h"
#include "connector/implementation/QvMT4.h"
#include "connector/interface/FQvMT4.h"

namespace QvMT4Connector {
namespace {
using Interface::IQvMT4;
using TestSupport::CallText;
using TestSupport::LogCapture;
using TestSupport::operator<<;

std::atomic<int> coresMade{0};
std::atomic<IQvMT4*> current{nullptr};

// The one core that the facade owns: forwards to the running test's core.
class CoreSwitch : public IQvMT4 {
 public:
  std::string Init(const char* a, const char* b, const char* c, const char* d, double e, const char* f) override {
    return target().Init(a, b, c, d, e, f);
  }
  std::string DeInit() override { return target().DeInit(); }
  std::int32_t QvReadResponses() override { return target().QvReadResponses(); }
  std::string QvNextResponse() override { return target().QvNextResponse(); }
  std::string QvOrderOpen(const char* a, const char* b, const char* c, std::int32_t d, const char* e, std::int32_t f,
                          double g, double h, double i, double j, const char* k, const char* l,
                          const char* m) override {
    return target().QvOrderOpen(a, b, c, d, e, f, g, h, i, j, k, l, m);
  }
  std::string QvOrderCancel(const char* a, const char* b, const char* c, std::int32_t d, const char* e,
                            const char* f) override {
    return target().QvOrderCancel(a, b, c, d, e, f);
  }
  std::string QvOrderClose(const char* a, const char* b, const char* c, std::int32_t d, const char* e,
                           std::int32_t f, double g, double h, const char* i, const char* j) override {
    return target().QvOrderClose(a, b, c, d, e, f, g, h, i, j);
  }
  std::string QvOrderModify(const char* a, const char* b, const char* c, std::int32_t d, std::int32_t e, double f,
                            double g, double h, double i, double j, double k, const char* l,
                            const char* m) override {
    return target().QvOrderModify(a, b, c, d, e, f, g, h, i, j, k, l, m);
  }
  void ParamsRequest(const char* a, const char* b, const char* c, double d, bool e, bool f, bool g, double h, bool i,
                     bool j, bool k, bool l, const char* m) override {
    target().ParamsRequest(a, b, c, d, e, f, g, h, i, j, k, l, m);
  }
  void QvCancelAllPendingSignals(const char* a, const char* b) override { target().QvCancelAllPendingSignals(a, b); }

 private:
  static IQvMT4& target() {
    IQvMT4* core = current.load();
    if (core == nullptr) throw std::logic_error("no core in place");
    return *core;
  }
};

// Records every call as text; answers fixed results, or fails when told to.
class RecordingCore : public IQvMT4 {
 public:
  std::vector<std::string> calls;
  std::string failure;      // when set, every operation throws it
  bool failOddly = false;   // when set, every operation throws something that is no std::exception

  std::string Init(const char* a, const char* b, const char* c, const char* d, double e, const char* f) override {
    return text(CallText("Init", a, b, c, d, e, f));
  }
  std::string DeInit() override { return text(CallText("DeInit")); }
  std::int32_t QvReadResponses() override {
    record(CallText("QvReadResponses"));
    return 7;
  }
  std::string QvNextResponse() override { return text(CallText("QvNextResponse")); }
  std::string QvOrderOpen(const char* a, const char* b, const char* c, std::int32_t d, const char* e, std::int32_t f,
                          double g, double h, double i, double j, const char* k, const char* l,
                          const char* m) override {
    return text(CallText("QvOrderOpen", a, b, c, d, e, f, g, h, i, j, k, l, m));
  }
  std::string QvOrderCancel(const char* a, const char* b, const char* c, std::int32_t d, const char* e,
                            const char* f) override {
    return text(CallText("QvOrderCancel", a, b, c, d, e, f));
  }
  std::string QvOrderClose(const char* a, const char* b, const char* c, std::int32_t d, const char* e,
                           std::int32_t f, double g, double h, const char* i, const char* j) override {
    return text(CallText("QvOrderClose", a, b, c, d, e, f, g, h, i, j));
  }
  std::string QvOrderModify(const char* a, const char* b, const char* c, std::int32_t d, std::int32_t e, double f,
                            double g, double h, double i, double j, double k, const char* l,
                            const char* m) override {
    return text(CallText("QvOrderModify", a, b, c, d, e, f, g, h, i, j, k, l, m));
  }
  void ParamsRequest(const char* a, const char* b, const char* c, double d, bool e, bool f, bool g, double h, bool i,
                     bool j, bool k, bool l, const char* m) override {
    record(CallText("ParamsRequest", a, b, c, d, e, f, g, h, i, j, k, l, m));
  }
  void QvCancelAllPendingSignals(const char* a, const char* b) override {
    record(CallText("QvCancelAllPendingSignals", a, b));
  }

 private:
  void record(std::string call) {
    {
      std::lock_guard<std::mutex> g(lock);
      calls.push_back(std::move(call));
    }
    if (failOddly) throw 42;
    if (!failure.empty()) throw std::runtime_error(failure);
  }
  std::string text(std::string call) {
    record(std::move(call));
    return "core says hi";
  }

  std::mutex lock;  // the racing first calls record at the same time
};

class Facade : public ::testing::Test {
 protected:
  void SetUp() override { current = &core; }
  void TearDown() override { current = nullptr; }

  std::vector<std::string> Lines(std::int32_t level) const {
    std::vector<std::string> out;
    for (auto& line : log.LinesOf("RaRU4DAV")) {
      if (line.level == level) out.push_back(line.message);
    }
    return out;
  }

  RecordingCore core;
  LogCapture log;
};

// One call of an operation of the facade, rendered as text ("" for the void ones).
struct Call {
  const char* name;
  std::function<std::string()> call;
  std::string coreCall;       // what the core must receive
  std::string result;         // the result when the core answers
  std::string failureResult;  // the result when the core fails with "boom"
  std::vector<std::string> debug;  // the facade's own Debug lines, written first
};

const char kOpenLine[] =
    "QvOrderOpen: systemid:s, orderid:7,  cmd:1, symbol:EURUSD, volume:0.1,  price:1.2345, stoploss:1.2, "
    "takeprofit:1.3, timeStamp:ts";
const char kCancelLine[] = "QvOrderCancel: systemid:s, orderid:8";
const char kCloseLine[] = "QvOrderClose: systemid:s, orderid:9, cmd:0, symbol:GBPUSD, volume:2, price:1.5";
const char kModifyLine[] =
    "QvOrderModify: systemid:s, orderid:10, cmd:2, oldPrice:1, oldStoploss:0.5, oldProfitTarget:1.5, "
    "newPrice:1.1, newStoploss:0.6, newProfitTarget:1.6";

const std::vector<Call>& Calls() {
  static const std::vector<Call> calls{
      {"QvInit", [] { return RaRU4DAV::QvInit("h", "who@x.y", "secret", "s", 1.5, "v"); },
       "Init(h,who@x.y,secret,s,1.5,v)", "core says hi", "Error: boom", {}},
      {"QvDeInit", [] { return RaRU4DAV::QvDeInit(); }, "DeInit()", "core says hi", "Error: boom", {}},
      {"QvReadResponses", [] { return std::to_string(RaRU4DAV::QvReadResponses()); }, "QvReadResponses()", "7",
       "-300", {}},
      {"QvNextResponse", [] { return RaRU4DAV::QvNextResponse(); }, "QvNextResponse()", "core says hi",
       "Error: boom", {}},
      {"QvOrderOpen",
       [] { return RaRU4DAV::QvOrderOpen("who@x.y", "secret", "s", 7, "EURUSD", 1, 0.1, 1.2345, 1.2, 1.3, "ts", "x"); },
       "QvOrderOpen(who@x.y,secret,s,7,EURUSD,1,0.1,1.2345,1.2,1.3,ts,x,)", "core says hi", "boom", {kOpenLine}},
      {"QvOrderOpenNullComment",
       [] {
         return RaRU4DAV::QvOrderOpen("who@x.y", "secret", "s", 7, "EURUSD", 1, 0.1, 1.2345, 1.2, 1.3, "ts", nullptr);
       },
       "QvOrderOpen(who@x.y,secret,s,7,EURUSD,1,0.1,1.2345,1.2,1.3,ts,,)", "core says hi", "boom", {kOpenLine}},
      {"QvOrderOpenFull",
       [] {
         return RaRU4DAV::QvOrderOpen("who@x.y", "secret", "s", 7, "EURUSD", 1, 0.1, 1.2345, 1.2, 1.3, "ts", nullptr,
                                      "r");
       },
       "QvOrderOpen(who@x.y,secret,s,7,EURUSD,1,0.1,1.2345,1.2,1.3,ts,,r)", "core says hi", "boom", {kOpenLine}},
      {"QvOrderCancelNullComment", [] { return RaRU4DAV::QvOrderCancel("who@x.y", "secret", "s", 8, nullptr); },
       "QvOrderCancel(who@x.y,secret,s,8,,)", "core says hi", "boom", {kCancelLine}},
      {"QvOrderCancelFull", [] { return RaRU4DAV::QvOrderCancel("who@x.y", "secret", "s", 8, "c", nullptr); },
       "QvOrderCancel(who@x.y,secret,s,8,c,)", "core says hi", "boom", {kCancelLine}},
      {"QvOrderClose", [] { return RaRU4DAV::QvOrderClose("who@x.y", "secret", "s", 9, "GBPUSD", 0, 2, 1.5, "x"); },
       "QvOrderClose(who@x.y,secret,s,9,GBPUSD,0,2,1.5,x,)", "core says hi", "boom", {kCloseLine}},
      {"QvOrderCloseFull",
       [] { return RaRU4DAV::QvOrderClose("who@x.y", "secret", "s", 9, "GBPUSD", 0, 2, 1.5, "c", "r"); },
       "QvOrderClose(who@x.y,secret,s,9,GBPUSD,0,2,1.5,c,r)", "core says hi", "boom", {kCloseLine}},
      {"QvOrderModifyNullComment",
       [] { return RaRU4DAV::QvOrderModify("who@x.y", "secret", "s", 10, 2, 1, 0.5, 1.5, 1.1, 0.6, 1.6, nullptr); },
       "QvOrderModify(who@x.y,secret,s,10,2,1,0.5,1.5,1.1,0.6,1.6,,)", "core says hi", "boom", {kModifyLine}},
      {"QvOrderModifyFull",
       [] {
         return RaRU4DAV::QvOrderModify("who@x.y", "secret", "s", 10, 2, 1, 0.5, 1.5, 1.1, 0.6, 1.6, nullptr, nullptr);
       },
       "QvOrderModify(who@x.y,secret,s,10,2,1,0.5,1.5,1.1,0.6,1.6,,)", "core says hi", "boom", {kModifyLine}},
      {"QvCancelAllPendingSignals",
       [] {
         RaRU4DAV::QvCancelAllPendingSignals("who@x.y", "secret");
         return std::string();
       },
       "QvCancelAllPendingSignals(who@x.y,secret)", "", "", {"QvCancelAllPendingSignals"}},
      // Any nonzero 32-bit value is true.
      {"ParamsRequest",
       [] {
         RaRU4DAV::ParamsRequest("who@x.y", "secret", "s", 2.5, 2, -1, 0, 30, 1, 0, INT32_MIN, 0, "EA 1");
         return std::string();
       },
       "ParamsRequest(who@x.y,secret,s,2.5,True,True,False,30,True,False,True,False,EA 1)", "", "", {}},
  };
  return calls;
}

class FacadeCall : public Facade, public ::testing::WithParamInterface<Call> {};

TEST_P(FacadeCall, ForwardsToTheCoreAndReturnsItsResult) {
  EXPECT_EQ(GetParam().call(), GetParam().result);
  EXPECT_EQ(core.calls, std::vector<std::string>{GetParam().coreCall});
  EXPECT_EQ(Lines(Globals::LOG_DEBUG), GetParam().debug);
  EXPECT_TRUE(Lines(Globals::LOG_FATAL).empty());
  // The facade's lines never show the login e-mail or the password.
  for (auto& line : log.LinesOf("RaRU4DAV")) {
    EXPECT_EQ(line.message.find("who@x.y"), std::string::npos) << line.message;
    EXPECT_EQ(line.message.find("secret"), std::string::npos) << line.message;
  }
}

TEST_P(FacadeCall, TurnsAFailureIntoAFatalLineAndItsFailureResult) {
  core.failure = "boom";
  EXPECT_EQ(GetParam().call(), GetParam().failureResult);
  EXPECT_EQ(Lines(Globals::LOG_FATAL), std::vector<std::string>{"boom"});
}

TEST_P(FacadeCall, CatchesFailuresOfAnyKind) {
  core.failOddly = true;
  EXPECT_NO_THROW(GetParam().call());
  EXPECT_EQ(Lines(Globals::LOG_FATAL).size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Operations, FacadeCall, ::testing::ValuesIn(Calls()), TestSupport::CaseName());

struct LogCall {
  const char* name;
  std::int32_t level;
  std::int32_t errorCode;
  const char* message;
  const char* rawText;
  std::int32_t writtenLevel;
  std::string written;
};

class FacadeQvLog : public Facade, public ::testing::WithParamInterface<LogCall> {};

TEST_P(FacadeQvLog, WritesOneLineOfTheFacadeLogger) {
  const LogCall& c = GetParam();
  RaRU4DAV::QvLog(c.level, c.errorCode, c.message, c.rawText);
  const auto lines = log.LinesOf("RaRU4DAV");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].level, c.writtenLevel);
  EXPECT_EQ(lines[0].message, c.written);
  EXPECT_TRUE(core.calls.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Levels, FacadeQvLog,
    ::testing::Values(
        LogCall{"Warn", 3, 17, "a", "b", Globals::LOG_WARN, "ZaRE4: ErrorCode:17 Status: a Message: b"},
        LogCall{"Debug", 1, 200, "OK", "sent", Globals::LOG_DEBUG, "ZaRE4: ErrorCode:200 : Status: OK Message: sent"},
        LogCall{"Fatal", 5, 1, "{0}", "x", Globals::LOG_FATAL, "ZaRE4: ErrorCode:1 Status: {0} Message: x"},
        LogCall{"OutOfRangeWithAbsentTexts", 0, -300, nullptr, nullptr, Globals::LOG_ERROR,
                "ZaRE4: ErrorCode:-300 Status:  Message: "}),
    TestSupport::CaseName());

// The real core behind the facade, before any QvInit.
class FacadeBeforeInit : public ::testing::Test {
 protected:
  void SetUp() override { current = &realCore; }
  void TearDown() override { current = nullptr; }

  TestSupport::FakeAmqp fake;
  Implementation::QvMT4 realCore;
  LogCapture log;
};

TEST_F(FacadeBeforeInit, OrderFunctionsReturnTheFailureTextAndLogItAtFatal) {
  const std::vector<std::function<std::string()>> orders{
      [] { return RaRU4DAV::QvOrderOpen("e", "p", "s", 1, "EURUSD", 0, 1, 1, 1, 1, "ts", nullptr); },
      [] { return RaRU4DAV::QvOrderCancel("e", "p", "s", 1, nullptr); },
      [] { return RaRU4DAV::QvOrderClose("e", "p", "s", 1, "EURUSD", 0, 1, 1, nullptr); },
      [] { return RaRU4DAV::QvOrderModify("e", "p", "s", 1, 0, 1, 1, 1, 1, 1, 1, nullptr); },
  };
  for (auto& order : orders) {
    log.Clear();
    const std::string result = order();
    EXPECT_NE(result, "");
    EXPECT_NE(result, Globals::OK);
    EXPECT_TRUE(log.Contains(Globals::LOG_FATAL, "RaRU4DAV", result)) << result;
  }
}

TEST_F(FacadeBeforeInit, EventsWithoutAResultStillLogTheFailure) {
  RaRU4DAV::QvCancelAllPendingSignals("e", "p");
  RaRU4DAV::ParamsRequest("e", "p", "s", 1, 0, 0, 0, 5, 0, 0, 0, 0, "v");
  std::size_t fatal = 0;
  for (auto& line : log.LinesOf("RaRU4DAV")) fatal += line.level == Globals::LOG_FATAL;
  EXPECT_EQ(fatal, 2u);
}

TEST_F(FacadeBeforeInit, PollingAndDeInitAnswerFromTheEmptyState) {
  EXPECT_EQ(RaRU4DAV::QvReadResponses(), Globals::RESPONSE_ERROR);
  EXPECT_EQ(RaRU4DAV::QvNextResponse(), Globals::Error);
  EXPECT_EQ(RaRU4DAV::QvDeInit(), Globals::OK);
}

// Run alone (as ctest runs every case), this is the process's first call of the facade.
TEST(FacadeMembers, TwoRacingFirstCallsMakeOneCore) {
  RecordingCore core;
  current = &core;
  std::atomic<bool> go{false};
  std::vector<std::thread> threads;
  std::vector<std::int32_t> results(4);
  for (std::size_t t = 0; t < results.size(); ++t) {
    threads.emplace_back([&, t] {
      while (!go.load()) std::this_thread::yield();
      results[t] = RaRU4DAV::QvReadResponses();
    });
  }
  go = true;
  for (auto& th : threads) th.join();
  current = nullptr;
  EXPECT_EQ(coresMade.load(), 1);
  EXPECT_EQ(results, std::vector<std::int32_t>(results.size(), 7));
}

}  // namespace
}  // namespace QvMT4Connector

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // Before the facade's first call, which makes the one core.
  QvMT4Connector::Interface::FQvMT4::SetFactoryForTesting([] {
    ++QvMT4Connector::coresMade;
    return std::make_unique<QvMT4Connector::CoreSwitch>();
  });
  return RUN_ALL_TESTS();
}
