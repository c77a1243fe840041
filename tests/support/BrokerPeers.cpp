#include "BrokerPeers.h"

#include <atomic>
#include <thread>

#include "Broker.h"
#include "platform/Platform.h"

namespace QvMT4Connector::TestSupport {

std::shared_ptr<Amqp::Connection> ServiceConnection(const std::string& address) {
  Amqp::ConnectionFactory f;
  f.HostName = address;
  f.UserName = Deployment::User;
  f.Password = Deployment::Password;
  f.VirtualHost = Deployment::VirtualHost;
  f.RequestedHeartbeat = 10;
  return f.CreateConnection();
}

SignalTap::SignalTap(const std::string& routingKey, const std::string& address)
    : connection_(ServiceConnection(address)), channel_(connection_->CreateModel()) {
  queue_ = channel_->QueueDeclare("", false, true, true).QueueName;
  channel_->QueueBind(queue_, Deployment::SignalsExchange, routingKey);
}

std::optional<Amqp::BasicGetResult> SignalTap::Next(std::chrono::milliseconds limit) {
  std::optional<Amqp::BasicGetResult> m;
  WaitUntil([&] { return (m = channel_->BasicGet(queue_, true)).has_value(); }, limit);
  return m;
}

ReplyPublisher::ReplyPublisher(const std::string& address)
    : connection_(ServiceConnection(address)), channel_(connection_->CreateModel()) {
  channel_->ConfirmSelect();
}

void ReplyPublisher::Publish(const std::string& routingKey, const std::string& body) {
  channel_->BasicPublish(Deployment::ResponsesExchange, routingKey, false, {}, body);
}

std::string UniqueId() { return "t" + Platform::NewUuid().substr(0, 8); }

}  // namespace QvMT4Connector::TestSupport
