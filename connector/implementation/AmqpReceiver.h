#pragma once
// The response receiver.
#include <cstdint>
#include <list>
#include <memory>
#include <string>

#include "connector/interface/IAmqpReceiver.h"
#include "connector/interface/ILogger.h"

namespace QvMT4Connector::Amqp {
class Connection;
class Channel;
}  // namespace QvMT4Connector::Amqp

namespace QvMT4Connector::Implementation {

class AmqpReceiver : public Interface::IAmqpReceiver {
 public:
  AmqpReceiver(const char* host, std::int32_t port, const char* qvLoginEmail, const char* systemId);
  ~AmqpReceiver() override;

  void Close() override;
  void Connect() override;
  void getAmqpResponses(std::list<std::string>& responses) override;
  bool IsOpen() const override;

  const std::string& QueueName() const { return queueName; }
  const std::string& BindingKey() const { return bindingKey; }

 private:
  // Declares the private queue on the channel and binds it to the responses exchange.
  void bind(Amqp::Channel& channel);

  static std::shared_ptr<Interface::ILogger> log;
  std::string host;
  std::int32_t port;
  std::string user;
  std::string password;
  std::string virtualHost;
  std::string exchange;
  std::string queueName;
  std::string bindingKey;
  std::shared_ptr<Amqp::Connection> connection;
  std::shared_ptr<Amqp::Channel> channel;
};

}  // namespace QvMT4Connector::Implementation
