// The AMQP layer against the real broker: round trips, confirms, closes from either side, and the
// service thread that keeps an idle connection alive and notices a dead one.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "Broker.h"
#include "TcpProxy.h"
#include "amqp/Amqp.h"

namespace QvMT4Connector::Amqp {
namespace {
using TestSupport::Deployment;
using namespace std::chrono_literals;

ConnectionFactory Factory(std::uint16_t heartbeat = 10, int port = 5672) {
  ConnectionFactory f;
  f.HostName = Deployment::Host;
  f.Port = port;
  f.UserName = Deployment::User;
  f.Password = Deployment::Password;
  f.VirtualHost = Deployment::VirtualHost;
  f.RequestedHeartbeat = heartbeat;
  return f;
}

// Records the shutdown notifications of one connection.
class ShutdownLog {
 public:
  explicit ShutdownLog(Connection& c) : connection_(c) {
    id_ = c.AddShutdownHandler([this](Connection&, const ShutdownEventArgs& r) {
      std::lock_guard<std::mutex> g(lock_);
      reasons_.push_back(r);
      changed_.notify_all();
    });
  }
  ~ShutdownLog() { connection_.RemoveShutdownHandler(id_); }
  // The first notification, waiting at most `limit` for it.
  std::optional<ShutdownEventArgs> Wait(std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> g(lock_);
    changed_.wait_for(g, limit, [&] { return !reasons_.empty(); });
    if (reasons_.empty()) return std::nullopt;
    return reasons_.front();
  }
  std::size_t Count() {
    std::lock_guard<std::mutex> g(lock_);
    return reasons_.size();
  }

 private:
  Connection& connection_;
  int id_ = 0;
  std::mutex lock_;
  std::condition_variable changed_;
  std::vector<ShutdownEventArgs> reasons_;
};

// A fresh server-named queue bound to amq.topic with the given key, on its own channel.
struct BoundQueue {
  std::shared_ptr<Channel> channel;
  std::string name;
  BoundQueue(Connection& c, const std::string& key) : channel(c.CreateModel()) {
    name = channel->QueueDeclare("", false, true, true).QueueName;
    channel->QueueBind(name, "amq.topic", key);
  }
};

TEST(AmqpConnection, RoundTripsWithConfirmsAndExactBodies) {
  auto c = Factory(7).CreateConnection();
  EXPECT_TRUE(c->IsOpen());
  EXPECT_EQ(c->Heartbeat(), 7);
  BoundQueue q(*c, "layer.test.roundtrip");

  auto pub = c->CreateModel();
  pub->ConfirmSelect();
  const std::vector<std::string> bodies{"first", std::string("with\0nul", 8), "", std::string(300000, 'x')};
  for (const auto& b : bodies) pub->BasicPublish("amq.topic", "layer.test.roundtrip", false, pub->CreateBasicProperties(), b);

  for (const auto& b : bodies) {
    auto m = q.channel->BasicGet(q.name, false);
    ASSERT_TRUE(m.has_value());
    EXPECT_EQ(m->Body, b);
    EXPECT_EQ(m->RoutingKey, "layer.test.roundtrip");
    EXPECT_EQ(m->Exchange, "amq.topic");
    EXPECT_EQ(m->PropertyFlags, 0);
    EXPECT_FALSE(m->Redelivered);
    q.channel->BasicAck(m->DeliveryTag, false);
  }
  EXPECT_FALSE(q.channel->BasicGet(q.name, false).has_value());
  EXPECT_EQ(q.channel->QueueDelete(q.name, false, false), 0u);

  ShutdownLog log(*c);
  c->Close();
  auto r = log.Wait(0ms);  // the close's own notification has run when Close returns
  ASSERT_TRUE(r.has_value());
  EXPECT_EQ(r->Initiator, ShutdownInitiator::Application);
  EXPECT_EQ(r->ReplyCode, 200);
  EXPECT_FALSE(c->IsOpen());
  EXPECT_FALSE(pub->IsOpen());
  EXPECT_THROW(c->Close(), AlreadyClosedException);
  EXPECT_THROW(pub->BasicPublish("amq.topic", "k", false, {}, "x"), AlreadyClosedException);
  EXPECT_EQ(log.Count(), 1u);
}

TEST(AmqpConnection, UnackedMessageIsRedeliveredAfterChannelClose) {
  auto c = Factory().CreateConnection();
  auto keeper = c->CreateModel();
  const auto name = keeper->QueueDeclare("", false, true, true).QueueName;
  keeper->BasicPublish("", name, false, {}, "again");  // default exchange routes by queue name
  {
    auto ch = c->CreateModel();
    auto m = ch->BasicGet(name, false);
    ASSERT_TRUE(m.has_value());
    EXPECT_EQ(m->RoutingKey, name);
    ch->Close();
    EXPECT_FALSE(ch->IsOpen());
    EXPECT_THROW(ch->Close(), AlreadyClosedException);
  }
  auto m = keeper->BasicGet(name, true);
  ASSERT_TRUE(m.has_value());
  EXPECT_TRUE(m->Redelivered);
  EXPECT_EQ(m->Body, "again");
}

struct RefusedCase {
  const char* name;
  std::string host;
  std::string password;
  std::string vhost;
  const char* expected;
};

TEST(AmqpConnection, RefusedConnectionsRaiseWithTheReason) {
  const RefusedCase cases[] = {
      {"unreachable", "127.0.0.3", Deployment::Password, Deployment::VirtualHost, "Cannot connect to 127.0.0.3:5672"},
      {"bad password", Deployment::Host, "wrong", Deployment::VirtualHost, "ACCESS_REFUSED"},
      {"unknown vhost", Deployment::Host, Deployment::Password, "no-such-vhost", "NOT_ALLOWED"},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.name);
    auto f = Factory();
    f.HostName = k.host;
    f.Password = k.password;
    f.VirtualHost = k.vhost;
    try {
      f.CreateConnection();
      ADD_FAILURE() << "connected";
    } catch (const AmqpException& e) {
      EXPECT_NE(std::string(e.what()).find(k.expected), std::string::npos) << e.what();
    }
  }
}

TEST(AmqpConnection, IdleConnectionStaysOpenOverManyHeartbeats) {
  auto c = Factory(1).CreateConnection();
  ASSERT_EQ(c->Heartbeat(), 1);
  ShutdownLog log(*c);
  // The broker drops a client that misses two intervals; six quiet intervals show the service thread
  // keeps sending heartbeats and that the broker's are received.
  std::this_thread::sleep_for(6s);
  EXPECT_TRUE(c->IsOpen());
  EXPECT_EQ(log.Count(), 0u);
  EXPECT_EQ(TestSupport::BrokerConnectionFromPort(c->LocalPort()).heartbeat, 1);
  auto ch = c->CreateModel();
  EXPECT_FALSE(ch->QueueDeclare("", false, true, true).QueueName.empty());
}

TEST(AmqpConnection, BrokerThatStopsAnsweringIsNoticedThroughHeartbeats) {
  TestSupport::TcpProxy proxy(Deployment::Host, 5672);
  auto c = Factory(1, proxy.Port()).CreateConnection();
  auto ch = c->CreateModel();
  ShutdownLog log(*c);
  proxy.Stall();
  auto r = log.Wait(10s);
  ASSERT_TRUE(r.has_value());
  EXPECT_EQ(r->Initiator, ShutdownInitiator::Library);
  EXPECT_EQ(r->ReplyCode, ReplyCodes::InternalError);
  EXPECT_NE(r->ReplyText.find("heartbeat"), std::string::npos) << r->ToString();
  EXPECT_FALSE(c->IsOpen());
  EXPECT_FALSE(ch->IsOpen());
  EXPECT_THROW(ch->QueueDeclare("", false, true, true), AlreadyClosedException);
}

TEST(AmqpConnection, RoundTripAndConnectLimitsEndAStalledPeer) {
  TestSupport::TcpProxy proxy(Deployment::Host, 5672);
  auto f = Factory(0, proxy.Port());
  f.ContinuationTimeout = 300ms;
  auto c = f.CreateConnection();
  auto ch = c->CreateModel();
  ShutdownLog log(*c);
  proxy.Stall();
  try {
    ch->QueueDeclare("", false, true, true);
    ADD_FAILURE() << "no time limit";
  } catch (const OperationInterruptedException& e) {
    EXPECT_EQ(e.ShutdownReason().ReplyCode, ReplyCodes::InternalError);
    EXPECT_NE(std::string(e.what()).find("Timed out after 300 ms"), std::string::npos) << e.what();
  }
  EXPECT_FALSE(c->IsOpen());
  EXPECT_TRUE(log.Wait(0ms).has_value());

  // A new connection through the stalled proxy: the TCP connect succeeds, the handshake never ends.
  f.RequestedConnectionTimeout = 400ms;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_THROW(f.CreateConnection(), AmqpException);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
}

TEST(AmqpConnection, ForcedCloseByTheBrokerGivesCode320) {
  auto c = Factory().CreateConnection();
  auto ch = c->CreateModel();
  ShutdownLog log(*c);
  TestSupport::ForceCloseConnection(TestSupport::BrokerConnectionFromPort(c->LocalPort()).pid);
  auto r = log.Wait(10s);
  ASSERT_TRUE(r.has_value());
  EXPECT_EQ(r->Initiator, ShutdownInitiator::Peer);
  EXPECT_EQ(r->ReplyCode, ReplyCodes::ConnectionForced);
  EXPECT_NE(r->ToString().find("code=320"), std::string::npos);
  EXPECT_NE(r->ToString().find("closed by a test"), std::string::npos);
  EXPECT_FALSE(c->IsOpen());
  EXPECT_FALSE(ch->IsOpen());
  try {
    ch->BasicPublish("amq.topic", "k", false, {}, "x");
    ADD_FAILURE() << "published on a closed connection";
  } catch (const AlreadyClosedException& e) {
    EXPECT_EQ(e.ShutdownReason().ReplyCode, ReplyCodes::ConnectionForced);
  }
}

TEST(AmqpChannel, BrokerClosingTheChannelIsNoticed) {
  auto c = Factory().CreateConnection();
  // With confirms, the publication itself fails with the broker's reason.
  auto confirmed = c->CreateModel();
  confirmed->ConfirmSelect();
  try {
    confirmed->BasicPublish("no.such.exchange", "k", false, {}, "lost");
    ADD_FAILURE() << "publication to a missing exchange was confirmed";
  } catch (const OperationInterruptedException& e) {
    EXPECT_EQ(e.ShutdownReason().ReplyCode, ReplyCodes::NotFound);
    EXPECT_EQ(e.ShutdownReason().Initiator, ShutdownInitiator::Peer);
  }
  EXPECT_FALSE(confirmed->IsOpen());
  EXPECT_EQ(confirmed->CloseReason()->ReplyCode, ReplyCodes::NotFound);

  // Without confirms, the service thread notices the broker's channel.close while the owner idles.
  auto plain = c->CreateModel();
  plain->BasicPublish("no.such.exchange", "k", false, {}, "lost");
  for (int i = 0; i < 200 && plain->IsOpen(); ++i) std::this_thread::sleep_for(10ms);
  EXPECT_FALSE(plain->IsOpen());
  EXPECT_THROW(plain->BasicPublish("amq.topic", "k", false, {}, "x"), AlreadyClosedException);

  // The connection and its other channels carry on.
  EXPECT_TRUE(c->IsOpen());
  auto ok = c->CreateModel();
  ok->ConfirmSelect();
  ok->BasicPublish("amq.topic", "layer.test.nobody", false, {}, "fine");

  // An exchange of our own, gone between two publications.
  const std::string mine = "layer.test.gone." + std::to_string(c->LocalPort());
  ok->ExchangeDeclare(mine, "topic", false, true);
  ok->BasicPublish(mine, "k", false, {}, "kept");
  ok->ExchangeDelete(mine, false);
  EXPECT_THROW(ok->BasicPublish(mine, "k", false, {}, "lost"), OperationInterruptedException);
}

TEST(AmqpConnection, ConcurrentCallersAreSerialised) {
  auto c = Factory(1).CreateConnection();
  BoundQueue q(*c, "layer.test.concurrent");
  constexpr int kThreads = 3, kEach = 40;
  std::vector<std::thread> threads;
  std::atomic<int> failures{0};
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      try {
        auto ch = c->CreateModel();
        ch->ConfirmSelect();
        for (int i = 0; i < kEach; ++i) ch->BasicPublish("amq.topic", "layer.test.concurrent", false, {}, "m");
        ch->Close();
      } catch (const std::exception&) {
        ++failures;
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(failures, 0);
  int n = 0;
  while (auto m = q.channel->BasicGet(q.name, true)) ++n;
  EXPECT_EQ(n, kThreads * kEach);
}

TEST(AmqpConnection, NoThreadOutlivesTheConnection) {
  const int before = TestSupport::ThreadCount();
  {
    auto closed = Factory().CreateConnection();
    auto dropped = Factory().CreateConnection();
    dropped->CreateModel();
    EXPECT_EQ(TestSupport::ThreadCount(), before + 2);
    closed->Close();
    EXPECT_EQ(TestSupport::ThreadCount(), before + 1);
  }
  EXPECT_EQ(TestSupport::ThreadCount(), before);
}

TEST(AmqpConnection, HandlersMayRemoveThemselvesAndLateOnesNeverRun) {
  auto c = Factory().CreateConnection();
  int calls = 0;
  int id = 0;
  id = c->AddShutdownHandler([&](Connection& conn, const ShutdownEventArgs&) {
    ++calls;
    conn.RemoveShutdownHandler(id);
  });
  c->Close();
  EXPECT_EQ(calls, 1);
  c->AddShutdownHandler([&](Connection&, const ShutdownEventArgs&) { ++calls; });
  c->Abort();
  EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace QvMT4Connector::Amqp
