// The connector core against fake senders and receivers.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "CaseName.h"
#include "FakeAmqp.h"
#include "LogCapture.h"
#include "connector/Globals.h"
#include "connector/implementation/QvMT4.h"

namespace QvMT4Connector {
namespace {
using Implementation::QvMT4;
using TestSupport::FakeAmqp;
using TestSupport::LogCapture;
using TestSupport::operator<<;

constexpr const char* kSenderConnected = Globals::SENDER_CONNECTED;
constexpr const char* kReceiverConnected = Globals::RECEIVER_CONNECTED;

class Core : public ::testing::Test {
 protected:
  std::string InitDefault() { return core.Init("broker", "a.b@c.d", "secret", "sys1", 1.5, "4.2"); }

  // Messages of the core's logger at one level, in order.
  std::vector<std::string> Lines(std::int32_t level) const {
    std::vector<std::string> out;
    for (auto& line : log.LinesOf("QvMT4")) {
      if (line.level == level) out.push_back(line.message);
    }
    return out;
  }

  // Every waiting reply, oldest first.
  std::vector<std::string> TakeAll() {
    std::vector<std::string> out;
    for (std::string r = core.QvNextResponse(); !r.empty(); r = core.QvNextResponse()) out.push_back(r);
    return out;
  }

  FakeAmqp fake;
  LogCapture log;
  QvMT4 core;
};

TEST_F(Core, InitConnectsBothLogsInOnceAndKeepsThePasswordOutOfTheLog) {
  EXPECT_EQ(InitDefault(), "ok");

  ASSERT_EQ(fake.Senders().size(), 1u);
  EXPECT_EQ(fake.Senders()[0].args, "broker|5672|a.b@c.d|secret|sys1");
  ASSERT_EQ(fake.Receivers().size(), 1u);
  EXPECT_EQ(fake.Receivers()[0].args, "broker|5672|a.b@c.d|sys1");
  EXPECT_EQ(fake.Calls(), std::vector<std::string>{"SendLogin(a.b@c.d,secret,sys1)"});

  std::vector<std::string> expected{
      "QvMT4 init: MT4 EA Version=4.2, QvHost=broker, QvLoginEmail=a.b@c.d, QvPassword=***, QvSystemId=sys1, "
      "QvlotMultiplier=1.5",
      "Init amqpSender...",
      "OK",
      kSenderConnected,
      "Init amqpReceiver...",
      "OK",
      kReceiverConnected,
      "Send a login request to Quorvex."};
  std::vector<std::string> written;
  for (auto& line : log.LinesOf("QvMT4")) written.push_back(line.message);
  EXPECT_EQ(written, expected);
  for (auto& line : log.Lines()) EXPECT_EQ(line.message.find("secret"), std::string::npos) << line.message;
}

struct InitFailure {
  const char* name;
  FakeAmqp::Script sender;
  FakeAmqp::Script receiver;
  std::string result;
  std::vector<std::string> fatal;
};

class CoreInitFailure : public Core, public ::testing::WithParamInterface<InitFailure> {};

TEST_P(CoreInitFailure, ReportsBothStatusMessagesAndSendsNoLogin) {
  const InitFailure& c = GetParam();
  fake.sender = c.sender;
  fake.receiver = c.receiver;

  EXPECT_EQ(InitDefault(), c.result);
  EXPECT_EQ(Lines(Globals::LOG_FATAL), c.fatal);
  EXPECT_TRUE(fake.Calls().empty());
  // The receiver is tried whatever became of the sender.
  EXPECT_EQ(fake.Receivers().size(), c.receiver.createError.empty() && !c.receiver.createNothing ? 1u : 0u);
}

const std::string kSenderDown = "Quorvex signals sender NOT CONNECTED. Error: ";
const std::string kReceiverDown = "Quorvex responses receiver NOT CONNECTED. Error: ";

INSTANTIATE_TEST_SUITE_P(
    Cases, CoreInitFailure,
    ::testing::Values(
        InitFailure{"SenderUnreachable", {"", false, "refused", ""}, {}, kSenderDown + "refused | " + kReceiverConnected,
                    {"Init amqpSender result: " + kSenderDown + "refused "}},
        InitFailure{"ReceiverUnreachable", {}, {"", false, "refused", ""}, std::string(kSenderConnected) + " | " +
                    kReceiverDown + "refused", {"Init amqpReceiver result: " + kReceiverDown + "refused "}},
        InitFailure{"BrokerUnreachable", {"", false, "no route", ""}, {"", false, "timed out", ""},
                    kSenderDown + "no route | " + kReceiverDown + "timed out",
                    {"Init amqpSender result: " + kSenderDown + "no route ",
                     "Init amqpReceiver result: " + kReceiverDown + "timed out "}},
        InitFailure{"SenderCannotBeMade", {"bad setting", false, "", ""}, {},
                    kSenderDown + "bad setting | " + kReceiverConnected,
                    {"Init amqpSender result: " + kSenderDown + "bad setting "}},
        InitFailure{"ReceiverCannotBeMade", {}, {"bad setting", false, "", ""},
                    std::string(kSenderConnected) + " | " + kReceiverDown + "bad setting",
                    {"Init amqpReceiver result: " + kReceiverDown + "bad setting "}},
        InitFailure{"SenderFactoryAnswersNothing", {"", true, "", ""}, {},
                    std::string(Globals::SENDER_ERROR) + " | " + kReceiverConnected, {}}),
    TestSupport::CaseName());

TEST_F(Core, ASenderThatFailedToConnectStaysInPlaceAndTakesTheEvents) {
  fake.sender.connectError = "refused";
  InitDefault();
  EXPECT_EQ(core.QvOrderCancel("e", "p", "s", 1, "", ""), "OK");
  ASSERT_EQ(fake.Senders().size(), 1u);
  EXPECT_EQ(fake.Calls(), std::vector<std::string>{"SendCancelOrder(e,p,s,1,,)"});
}

TEST_F(Core, ANewInitClosesTheReplacedSenderAndReceiver) {
  InitDefault();
  fake.sender.closeError = "already closed";  // only the second sender has it; the first closes cleanly
  EXPECT_EQ(core.Init("broker2", "x@y.z", "pw2", "sys2", 1, "4.2"), "ok");

  ASSERT_EQ(fake.Senders().size(), 2u);
  ASSERT_EQ(fake.Receivers().size(), 2u);
  for (const auto& old : {fake.Senders()[0], fake.Receivers()[0]}) {
    EXPECT_EQ(old.closes, 1);
    EXPECT_TRUE(old.destroyed);
  }
  EXPECT_TRUE(fake.Senders()[1].open);
  EXPECT_TRUE(fake.Receivers()[1].open);

  // A replaced object that fails to close costs only a Debug line.
  EXPECT_EQ(core.Init("broker3", "x@y.z", "pw3", "sys3", 1, "4.2"), "ok");
  EXPECT_TRUE(log.Contains(Globals::LOG_DEBUG, "QvMT4", "Closing the replaced amqpSender failed: already closed"));
  EXPECT_TRUE(Lines(Globals::LOG_FATAL).empty());
}

TEST_F(Core, ASenderThatCannotBeMadeLeavesThePreviousOneOpenAndInUse) {
  InitDefault();
  fake.sender.createError = "bad setting";
  InitDefault();
  ASSERT_EQ(fake.Senders().size(), 1u);
  EXPECT_EQ(fake.Senders()[0].closes, 0);
  EXPECT_EQ(core.QvOrderCancel("e", "p", "s", 1, "c", "r"), "OK");
  EXPECT_EQ(fake.Calls().back(), "SendCancelOrder(e,p,s,1,c,r)");
}

// One call of each event operation, and what the sender must receive for it.
struct Event {
  const char* name;
  std::function<std::string(QvMT4&)> call;  // the operation's text result, "" for the void ones
  std::string received;
  bool returnsText = true;
};

const std::vector<Event>& Events() {
  static const std::vector<Event> events{
      {"QvOrderOpen",
       [](QvMT4& c) {
         return c.QvOrderOpen("e", "p", "s", 7, "EURUSD", 1, 0.1, 1.2345, 1.2, 1.3, "2024.01.02 10:00", "c", "r");
       },
       "SendOpenOrder(e,p,s,7,EURUSD,1,0.1,1.2345,1.2,1.3,2024.01.02 10:00,c,r)"},
      {"QvOrderCancel", [](QvMT4& c) { return c.QvOrderCancel("e", "p", "s", 8, "c", "r"); },
       "SendCancelOrder(e,p,s,8,c,r)"},
      {"QvOrderClose", [](QvMT4& c) { return c.QvOrderClose("e", "p", "s", 9, "GBPUSD", 0, 2, 1.5, "c", "r"); },
       "SendOrderClose(e,p,s,9,GBPUSD,0,2,1.5,c,r)"},
      {"QvOrderModify",
       [](QvMT4& c) { return c.QvOrderModify("e", "p", "s", 10, 2, 1, 0.5, 1.5, 1.1, 0.6, 1.6, "c", "r"); },
       "SendOrderModify(e,p,s,10,2,1,0.5,1.5,1.1,0.6,1.6,c,r)"},
      {"ParamsRequest",
       [](QvMT4& c) {
         c.ParamsRequest("e", "p", "s", 2.5, true, false, true, 30, false, true, false, true, "EA 1");
         return std::string();
       },
       "SendParamsRequest(e,p,s,2.5,True,False,True,30,False,True,False,True,EA 1)", false},
      {"QvCancelAllPendingSignals",
       [](QvMT4& c) {
         c.QvCancelAllPendingSignals("e", "p");
         return std::string();
       },
       "QvCancelAllPendingSignals(e,p)", false},
  };
  return events;
}

class CoreEvent : public Core, public ::testing::WithParamInterface<Event> {};

TEST_P(CoreEvent, GoesToTheSenderUnchangedAndReturnsItsText) {
  fake.sendResult = "broker said no";
  InitDefault();  // other credentials than the event's: the core does not compare them
  const std::string result = GetParam().call(core);
  ASSERT_EQ(fake.Calls().size(), 2u);  // the login, then the event
  EXPECT_EQ(fake.Calls()[1], GetParam().received);
  if (GetParam().returnsText) {
    EXPECT_EQ(result, "broker said no");
  }
}

TEST_P(CoreEvent, FailsWithAMessageBeforeAnySenderExists) {
  try {
    GetParam().call(core);
    FAIL() << "no failure";
  } catch (const std::exception& e) {
    EXPECT_STRNE(e.what(), "");
    EXPECT_STRNE(e.what(), "OK");
  }
  EXPECT_TRUE(fake.Calls().empty());
}

TEST_P(CoreEvent, PassesTheSendersFailureOn) {
  fake.sendError = "channel closed";
  EXPECT_EQ(InitDefault(), "ok");  // a failed login message does not change the result
  EXPECT_TRUE(log.Contains(Globals::LOG_ERROR, "QvMT4", "channel closed"));
  EXPECT_THROW(GetParam().call(core), std::runtime_error);
}

INSTANTIATE_TEST_SUITE_P(Operations, CoreEvent, ::testing::ValuesIn(Events()),
                         TestSupport::CaseName());

TEST_F(Core, ParamsRequestLogsThePasswordMasked) {
  InitDefault();
  core.ParamsRequest("e@x", "p4ss", "s9", 1, false, false, false, 5, false, false, false, false, "v");
  EXPECT_EQ(Lines(Globals::LOG_DEBUG).back(), "ParamsRequest e@x *** s9");
  for (auto& line : log.Lines()) EXPECT_EQ(line.message.find("p4ss"), std::string::npos) << line.message;
}

TEST_F(Core, WithoutAReceiverPollingAnswersErrorsAndLogsNothing) {
  EXPECT_EQ(core.QvReadResponses(), Globals::RESPONSE_ERROR);
  EXPECT_EQ(core.QvNextResponse(), Globals::Error);
  EXPECT_TRUE(log.LinesOf("QvMT4").empty());

  fake.receiver.createError = "bad setting";
  InitDefault();
  log.Clear();
  EXPECT_EQ(core.QvReadResponses(), Globals::RESPONSE_ERROR);
  EXPECT_EQ(core.QvNextResponse(), Globals::Error);
  EXPECT_TRUE(log.LinesOf("QvMT4").empty());
}

TEST_F(Core, RepliesComeOutOldestFirstThenEmpty) {
  InitDefault();
  for (auto r : {"r1", "r2", "r3"}) fake.Publish(r);
  EXPECT_EQ(core.QvReadResponses(), 3);
  EXPECT_EQ(core.QvNextResponse(), "r1");
  EXPECT_EQ(core.QvNextResponse(), "r2");
  EXPECT_EQ(core.QvNextResponse(), "r3");
  EXPECT_EQ(core.QvNextResponse(), "");
}

TEST_F(Core, APollCountsRepliesThatEarlierPollsCounted) {
  InitDefault();
  fake.Publish("a");
  fake.Publish("b");
  EXPECT_EQ(core.QvReadResponses(), 2);
  fake.Publish("c");
  EXPECT_EQ(core.QvReadResponses(), 3);
}

TEST_F(Core, ADroppedReceiverIsReplacedAtTheNextPollWithTheStoredCredentials) {
  InitDefault();
  fake.DropReceivers();
  fake.Publish("a");
  fake.Publish("b");

  EXPECT_EQ(core.QvReadResponses(), 3);
  EXPECT_EQ(TakeAll(), (std::vector<std::string>{kReceiverConnected, "a", "b"}));
  ASSERT_EQ(fake.Receivers().size(), 2u);
  EXPECT_EQ(fake.Receivers()[1].args, "broker|5672|a.b@c.d|sys1");
  EXPECT_EQ(fake.Receivers()[0].closes, 1);  // the dropped one is closed, not leaked
  EXPECT_EQ(core.QvReadResponses(), 0);      // the new one is open: no further attempt
  EXPECT_EQ(fake.Receivers().size(), 2u);
}

TEST_F(Core, AFailedReconnectionIsReportedInTheListAndTriedAgainAtTheNextPoll) {
  InitDefault();
  fake.DropReceivers();
  fake.receiver.connectError = "refused";

  EXPECT_EQ(core.QvReadResponses(), 2);
  EXPECT_EQ(TakeAll(), (std::vector<std::string>{kReceiverDown + "refused", "Fake receiver is not open."}));
  EXPECT_EQ(Lines(Globals::LOG_FATAL),
            std::vector<std::string>{"Init amqpReceiver result: " + kReceiverDown + "refused "});

  fake.receiver.connectError.clear();
  fake.Publish("late");
  EXPECT_EQ(core.QvReadResponses(), 2);
  EXPECT_EQ(TakeAll(), (std::vector<std::string>{kReceiverConnected, "late"}));
  EXPECT_EQ(fake.Receivers().size(), 3u);
}

TEST_F(Core, APollThatFailsAnswersResponseErrorAndReleasesTheList) {
  InitDefault();
  fake.Publish("kept");
  fake.drainError = "socket gone";
  EXPECT_EQ(core.QvReadResponses(), Globals::RESPONSE_ERROR);
  EXPECT_EQ(Lines(Globals::LOG_FATAL), std::vector<std::string>{"QvReadResponses: socket gone "});
  EXPECT_EQ(core.QvNextResponse(), "");  // would hang if the list's lock were still held

  fake.drainError.clear();
  EXPECT_EQ(core.QvReadResponses(), 1);
  EXPECT_EQ(core.QvNextResponse(), "kept");
}

struct CloseTrigger {
  const char* name;
  std::string reply;
  bool closes;
};

class CoreCloseTrigger : public Core, public ::testing::WithParamInterface<CloseTrigger> {};

TEST_P(CoreCloseTrigger, ReplyIsReturnedUnchangedAndClosesOnlyOnAnExactPrefix) {
  InitDefault();
  fake.Publish(GetParam().reply);
  ASSERT_EQ(core.QvReadResponses(), 1);
  EXPECT_EQ(core.QvNextResponse(), GetParam().reply);
  const int closes = GetParam().closes ? 1 : 0;
  EXPECT_EQ(fake.Senders()[0].closes, closes);
  EXPECT_EQ(fake.Receivers()[0].closes, closes);
}

INSTANTIATE_TEST_SUITE_P(Replies, CoreCloseTrigger,
                         ::testing::Values(CloseTrigger{"WithText", "MT4002 Subscription ended.", true},
                                           CloseTrigger{"Alone", "MT4002", true},
                                           CloseTrigger{"LowerCase", "mt4002 Subscription ended.", false},
                                           CloseTrigger{"LeadingBlank", " MT4002 Subscription ended.", false},
                                           CloseTrigger{"Inside", "xMT4002", false},
                                           CloseTrigger{"Shorter", "MT400", false}),
                         TestSupport::CaseName());

TEST_F(Core, AnMT4002ReplyIsReturnedEvenWhenClosingFails) {
  fake.sender.closeError = "boom";
  InitDefault();
  fake.Publish("MT4002 bye");
  core.QvReadResponses();
  EXPECT_EQ(core.QvNextResponse(), "MT4002 bye");
  EXPECT_TRUE(log.Contains(Globals::LOG_ERROR, "QvMT4", "boom"));
}

TEST_F(Core, DeInitBeforeInitAnswersOk) { EXPECT_EQ(core.DeInit(), Globals::OK); }

TEST_F(Core, DeInitClosesBothAndKeepsThem) {
  InitDefault();
  EXPECT_EQ(core.DeInit(), Globals::OK);
  for (const auto& made : {fake.Senders()[0], fake.Receivers()[0]}) {
    EXPECT_EQ(made.closes, 1);
    EXPECT_FALSE(made.destroyed);
  }
}

TEST_F(Core, DeInitWhoseSenderFailsToCloseLeavesTheReceiverOpen) {
  fake.sender.closeError = "sender close failed";
  InitDefault();
  EXPECT_EQ(core.DeInit(), "sender close failed");
  EXPECT_EQ(fake.Receivers()[0].closes, 0);
  EXPECT_TRUE(fake.Receivers()[0].open);

  fake.Publish("a");
  EXPECT_EQ(core.QvReadResponses(), 1);  // drained by the same receiver, no reconnection
  EXPECT_EQ(fake.Receivers().size(), 1u);
}

TEST_F(Core, DeInitReportsAReceiverThatFailsToClose) {
  fake.receiver.closeError = "queue delete failed";
  InitDefault();
  EXPECT_EQ(core.DeInit(), "queue delete failed");
  EXPECT_EQ(fake.Senders()[0].closes, 1);
}

TEST_F(Core, RepliesSurviveDeInitAndANewInit) {
  InitDefault();
  fake.Publish("a");
  fake.Publish("b");
  ASSERT_EQ(core.QvReadResponses(), 2);
  EXPECT_EQ(core.QvNextResponse(), "a");
  core.DeInit();
  InitDefault();
  EXPECT_EQ(core.QvNextResponse(), "b");
}

TEST_F(Core, TheClassWideStateIsSharedByEveryCoreObject) {
  InitDefault();
  fake.Publish("a");
  ASSERT_EQ(core.QvReadResponses(), 1);
  QvMT4 other;
  EXPECT_EQ(other.QvNextResponse(), "a");
  EXPECT_EQ(other.QvOrderCancel("e", "p", "s", 1, "", ""), "OK");
}

}  // namespace
}  // namespace QvMT4Connector
