// The library's messaging end to end on the shared broker, through the facade behind the exports:
// what the service sees of every signal, how replies are drained, and how the two connections come
// back after the broker closed them.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "Broker.h"
#include "BrokerPeers.h"
#include "LogCapture.h"
#include "connector/Globals.h"
#include "connector/RaRU4DAV.h"

namespace QvMT4Connector {
namespace {
using namespace std::chrono_literals;
using TestSupport::Deployment;

// A system id per test keeps parallel tests from seeing each other's messages.
constexpr auto& kEmail = TestSupport::kTestEmail;
constexpr auto& kPassword = TestSupport::kTestPassword;

class Messaging : public ::testing::Test {
 protected:
  void TearDown() override { RaRU4DAV::QvDeInit(); }

  std::string Init(const char* host = Deployment::Host) {
    return RaRU4DAV::QvInit(host, kEmail, kPassword, sys.c_str(), 1.5, "2.1");
  }
  std::string Cancel(std::int32_t order, const char* comment = "") {
    return RaRU4DAV::QvOrderCancel(kEmail, kPassword, sys.c_str(), order, comment);
  }
  std::string ReplyKey(const std::string& word = "ok") const { return "tsqv.response.human." + word + "." + sys; }
  // Everything waiting in the reply list, oldest first.
  std::vector<std::string> Poll() {
    std::vector<std::string> out;
    const auto n = RaRU4DAV::QvReadResponses();
    for (std::int32_t i = 0; i < n; ++i) out.push_back(RaRU4DAV::QvNextResponse());
    return out;
  }
  // The broker's record of this process's connection with that heartbeat (31 signals, 30 replies).
  std::optional<TestSupport::BrokerConnection> Own(int heartbeat) {
    for (const auto& c : TestSupport::OwnBrokerConnections()) {
      if (c.heartbeat == heartbeat) return c;
    }
    return std::nullopt;
  }

  const std::string sys = TestSupport::UniqueId();
  const std::string routingKey = "mt4_signal.trader." + sys;
};

TEST_F(Messaging, EveryKindReachesTheServiceAsItsExactText) {
  TestSupport::SignalTap tap(routingKey);
  const char* s = sys.c_str();
  ASSERT_EQ(Init(), "ok");
  RaRU4DAV::ParamsRequest(kEmail, kPassword, s, 1.5, 1, 0, 0, 2, 0, 1, 0, 0, "2.1");
  EXPECT_EQ(RaRU4DAV::QvOrderOpen(kEmail, kPassword, s, 1001, "EURUSD", 0, 0.1, 1.30512, 1.3, 0,
                                  "2013.06.14 10:30:00", "my order"),
            "OK");
  EXPECT_EQ(RaRU4DAV::QvOrderModify(kEmail, kPassword, s, 1003, 2, 1.2999, 1.29, 1.32, 1.3, 1.295, 0, ""), "OK");
  EXPECT_EQ(RaRU4DAV::QvOrderClose(kEmail, kPassword, s, 1001, "EURUSD", 0, 0.1, 1.3075, ""), "OK");
  EXPECT_EQ(Cancel(1002), "OK");
  RaRU4DAV::QvCancelAllPendingSignals(kEmail, kPassword);

  const std::string c = std::string("dHJhZGVy,WXpKV2FtTnRWakE9,") + s;
  const std::vector<std::string> expected{
      "Login," + c + ",,",
      "Params," + c + ",,,1.0,2.1,1.5,True,False,False,2,False,True,False,False",
      "Open," + c + ",bXkgb3JkZXI=,,1001,EURUSD,0,0.1,1.30512,1.3,0,2013.06.14 10:30:00",
      "Replace," + c + ",,,1003,2,1.2999,1.29,1.32,1.3,1.295,0",
      "Close," + c + ",,,1001,EURUSD,0,0.1,1.3075",
      "Cancel," + c + ",,,1002",
      "CancelAllPendingSignals," + c + ",,",
  };
  for (const auto& text : expected) {
    const auto m = tap.Next();
    ASSERT_TRUE(m.has_value()) << "missing: " << text;
    EXPECT_EQ(m->Body, text);
    EXPECT_EQ(m->Exchange, Deployment::SignalsExchange);
    EXPECT_EQ(m->RoutingKey, routingKey);
    EXPECT_EQ(m->PropertyFlags, 0) << "properties are not empty";
  }
  EXPECT_FALSE(tap.Next(100ms).has_value());
}

TEST_F(Messaging, RepliesAreDrainedInOrderAndEachAcknowledged) {
  ASSERT_EQ(Init(), "ok");
  EXPECT_TRUE(Poll().empty());
  TestSupport::ReplyPublisher replies;
  replies.Publish(ReplyKey(), "one");
  replies.Publish(ReplyKey("error"), "two");
  replies.Publish(ReplyKey(), "caf\xc3\xa9");  // bytes above 127 become "?"
  replies.Publish(ReplyKey(), "");
  replies.Publish("tsqv.response.human." + sys, "no middle word: never arrives");
  replies.Publish("tsqv.response.human.ok.other" + sys, "another system");
  replies.Publish(ReplyKey(), "three");
  EXPECT_EQ(Poll(), (std::vector<std::string>{"one", "two", "caf??", "", "three"}));

  // Each one was acknowledged: nothing is left in the queue, delivered or not.
  const auto queues = TestSupport::BrokerScript(
      {"ctl", "list_queues", "-p", Deployment::VirtualHost, "name", "messages_ready", "messages_unacknowledged"});
  bool seen = false;
  std::istringstream lines(queues);
  for (std::string line; std::getline(lines, line);) {
    if (line.find("_" + sys + "_") == std::string::npos) continue;
    seen = true;
    EXPECT_NE(line.find("\t0\t0"), std::string::npos) << line;
  }
  EXPECT_TRUE(seen) << queues;
  EXPECT_TRUE(Poll().empty());
}

TEST_F(Messaging, Mt4002ReplyClosesBothConnections) {
  ASSERT_EQ(Init(), "ok");
  ASSERT_TRUE(Own(31) && Own(30));
  TestSupport::ReplyPublisher replies;
  replies.Publish(ReplyKey("stop"), "MT4002 session ended");
  EXPECT_EQ(RaRU4DAV::QvReadResponses(), 1);
  EXPECT_EQ(RaRU4DAV::QvNextResponse(), "MT4002 session ended");
  EXPECT_TRUE(TestSupport::WaitUntil([&] { return !Own(31) && !Own(30); }, 10s));
  // A closed sender publishes nothing and says so.
  const auto r = Cancel(7);
  EXPECT_NE(r, "OK");
  EXPECT_NE(r.find("closed"), std::string::npos) << r;
}

TEST_F(Messaging, SenderForcedClosedByTheBrokerReconnectsAtTheNextSend) {
  TestSupport::LogCapture log;
  TestSupport::SignalTap tap(routingKey);
  ASSERT_EQ(Init(), "ok");
  ASSERT_TRUE(tap.Next().has_value());  // Login
  const auto sender = Own(31);
  ASSERT_TRUE(sender);
  TestSupport::ForceCloseConnection(sender->pid);
  ASSERT_TRUE(TestSupport::WaitUntil(
      [&] { return log.Contains(Globals::LOG_ERROR, "AmqpSender", "Shutdown due an error. Sender to exchange: "); },
      10s));
  EXPECT_TRUE(log.Contains(Globals::LOG_ERROR, "AmqpSender", "code=320"));

  EXPECT_EQ(Cancel(1002), "OK");
  const auto m = tap.Next();
  ASSERT_TRUE(m.has_value());
  EXPECT_EQ(m->Body.rfind("Cancel,", 0), 0u) << m->Body;
  const auto again = Own(31);
  ASSERT_TRUE(again);
  EXPECT_NE(again->pid, sender->pid);
}

TEST_F(Messaging, ReceiverClosedByTheBrokerIsReplacedAtTheNextPoll) {
  ASSERT_EQ(Init(), "ok");
  const auto receiver = Own(30);
  ASSERT_TRUE(receiver);
  TestSupport::ForceCloseConnection(receiver->pid);
  ASSERT_TRUE(TestSupport::WaitUntil([&] { return !Own(30); }, 10s));

  EXPECT_EQ(Poll(), std::vector<std::string>{Globals::RECEIVER_CONNECTED});
  TestSupport::ReplyPublisher replies;
  replies.Publish(ReplyKey(), "after the reconnection");
  EXPECT_EQ(Poll(), std::vector<std::string>{"after the reconnection"});
}

TEST_F(Messaging, UnreachableBrokerAtInit) {
  const auto r = Init("127.0.0.3");
  EXPECT_EQ(r.rfind(std::string(Globals::SENDER_ERROR) + " Error: ", 0), 0u) << r;
  EXPECT_NE(r.find(std::string(" | ") + Globals::RECEIVER_ERROR + " Error: "), std::string::npos) << r;
  // The sender tries again at every publication; failing, it answers the reason, never "OK".
  const auto sent = Cancel(1);
  EXPECT_NE(sent.find("Cannot connect to 127.0.0.3:5672"), std::string::npos) << sent;
  const auto polled = Poll();
  ASSERT_EQ(polled.size(), 2u);
  EXPECT_EQ(polled[0].rfind(std::string(Globals::RECEIVER_ERROR) + " Error: ", 0), 0u) << polled[0];
  EXPECT_EQ(polled[1], "Error: Connection to Quorvex is broken. Quorvex responses receiver NOT CONNECTED.");
}

TEST_F(Messaging, NoLibraryThreadIsLeftAfterDeInit) {
  const int before = TestSupport::ThreadCount();
  ASSERT_EQ(Init(), "ok");
  EXPECT_EQ(Cancel(3), "OK");
  EXPECT_GE(RaRU4DAV::QvReadResponses(), 0);
  EXPECT_GT(TestSupport::ThreadCount(), before);
  EXPECT_EQ(RaRU4DAV::QvDeInit(), "OK");
  EXPECT_EQ(TestSupport::ThreadCount(), before);
  EXPECT_TRUE(TestSupport::OwnBrokerConnections().empty());
}

}  // namespace
}  // namespace QvMT4Connector
