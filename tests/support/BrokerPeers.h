#pragma once
// The service's side of the broker, for tests: a tap on the signals exchange and a publisher of
// replies, each on its own connection.
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "amqp/Amqp.h"

namespace QvMT4Connector::TestSupport {

// The service login of the messaging tests: e-mail "trader" (Base64 dHJhZGVy) and password "secret"
// (WXpKV2FtTnRWakE9 in the signals); each test adds a system id of its own.
constexpr char kTestEmail[] = "trader";
constexpr char kTestPassword[] = "secret";

// A connection with the deployment's user to the broker on that address.
std::shared_ptr<Amqp::Connection> ServiceConnection(const std::string& address = "127.0.0.1");

// An exclusive queue bound to the signals exchange with one routing key.
class SignalTap {
 public:
  explicit SignalTap(const std::string& routingKey, const std::string& address = "127.0.0.1");
  // The next signal, waiting at most `limit` for it.
  std::optional<Amqp::BasicGetResult> Next(std::chrono::milliseconds limit = std::chrono::seconds(5));

 private:
  std::shared_ptr<Amqp::Connection> connection_;
  std::shared_ptr<Amqp::Channel> channel_;
  std::string queue_;
};

// Publishes replies to the responses exchange, each one confirmed by the broker.
class ReplyPublisher {
 public:
  explicit ReplyPublisher(const std::string& address = "127.0.0.1");
  void Publish(const std::string& routingKey, const std::string& body);

 private:
  std::shared_ptr<Amqp::Connection> connection_;
  std::shared_ptr<Amqp::Channel> channel_;
};

// A short id, unique per call, fit for a system id: no dots.
std::string UniqueId();

// Waits until done() holds, at most `limit`; returns its last value.
template <class Done>
bool WaitUntil(Done done, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

}  // namespace QvMT4Connector::TestSupport
