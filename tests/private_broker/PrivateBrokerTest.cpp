// What the library does when its broker is not there yet, restarts, or lacks the signals exchange.
// These need a broker that the test may stop: its own, on 127.0.0.2 (the shared one stays untouched).
#include <gtest/gtest.h>

#include "Broker.h"
#include "BrokerPeers.h"
#include "connector/Globals.h"
#include "connector/RaRU4DAV.h"

namespace QvMT4Connector {
namespace {
using namespace std::chrono_literals;
using TestSupport::Deployment;

constexpr char kAddress[] = "127.0.0.2";
constexpr auto& kEmail = TestSupport::kTestEmail;
constexpr auto& kPassword = TestSupport::kTestPassword;

class PrivateBroker : public ::testing::Test {
 protected:
  void SetUp() override { Broker("stop"); }  // left over from an aborted run
  void TearDown() override {
    RaRU4DAV::QvDeInit();
    Broker("stop");
  }
  static void Broker(const char* command) { TestSupport::BrokerScript({command}, kAddress); }
  std::string Cancel(std::int32_t order) { return RaRU4DAV::QvOrderCancel(kEmail, kPassword, sys.c_str(), order, ""); }
  // A cancel that the broker confirmed and a consumer then received.
  void CancelArrives(std::int32_t order) {
    TestSupport::SignalTap tap(routingKey, kAddress);
    EXPECT_EQ(Cancel(order), "OK");
    const auto m = tap.Next();
    ASSERT_TRUE(m.has_value());
    EXPECT_EQ(m->Body.substr(m->Body.rfind(',')), "," + std::to_string(order));
  }
  void ReceiverReconnectsAtPoll() {
    EXPECT_EQ(RaRU4DAV::QvReadResponses(), 1);
    EXPECT_EQ(RaRU4DAV::QvNextResponse(), Globals::RECEIVER_CONNECTED);
  }

  const std::string sys = TestSupport::UniqueId();
  const std::string routingKey = "mt4_signal.trader." + sys;
};

TEST_F(PrivateBroker, LateStartRestartAndMissingExchange) {
  // No broker yet: QvInit reports both sides down, and a Send answers the reason.
  const auto init = RaRU4DAV::QvInit(kAddress, kEmail, kPassword, sys.c_str(), 1, "2.1");
  EXPECT_NE(init.find(Globals::SENDER_ERROR), std::string::npos) << init;
  EXPECT_NE(Cancel(1), "OK");

  // The broker comes up: the sender whose start failed connects at its next publication.
  Broker("start");
  CancelArrives(2);
  ReceiverReconnectsAtPoll();

  // A restart between two events: the next one goes out on a new connection, and the receiver's
  // connection, gone with the old broker, is replaced at the next poll.
  Broker("stop");
  Broker("start");
  CancelArrives(3);
  ReceiverReconnectsAtPoll();

  // Without the signals exchange the broker takes nothing: the Send says so instead of "OK".
  {
    auto admin = TestSupport::ServiceConnection(kAddress);
    admin->CreateModel()->ExchangeDelete(Deployment::SignalsExchange, false);
  }
  const auto lost = Cancel(4);
  EXPECT_NE(lost.find("NOT_FOUND"), std::string::npos) << lost;
  EXPECT_NE(Cancel(5), "OK");  // the lost channel is replaced, and the exchange is still missing

  // Once it is back, the next Send publishes again.
  {
    auto admin = TestSupport::ServiceConnection(kAddress);
    admin->CreateModel()->ExchangeDeclare(Deployment::SignalsExchange, "topic", true, false);
  }
  CancelArrives(6);
  EXPECT_EQ(RaRU4DAV::QvDeInit(), "OK");
}

}  // namespace
}  // namespace QvMT4Connector
