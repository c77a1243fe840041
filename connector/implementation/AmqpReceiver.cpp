// Provisional receiver: replaced when the messaging layer lands.
#include "connector/implementation/AmqpReceiver.h"

#include <stdexcept>

#include "connector/Globals.h"
#include "connector/Utils.h"
#include "connector/interface/FLogger.h"
#include "platform/Platform.h"

namespace QvMT4Connector::Implementation {
std::shared_ptr<Interface::ILogger> AmqpReceiver::log;

AmqpReceiver::AmqpReceiver(const char* host_, std::int32_t port_, const char* qvLoginEmail, const char* systemId_)
    : host(host_ ? host_ : ""), port(port_) {
  channel.reset();
  log = Interface::FLogger::Create("Receiver");
  user = Utils::dcd(Globals::MT4User);
  password = Utils::dcd(Globals::MT4UserPassword);
  virtualHost = Utils::dcd(Globals::MT4ResponsesVirtualHost);
  exchange = Utils::dcd(Globals::MT4ReponsesExchange);

  const std::string systemId = systemId_ ? systemId_ : "";
  // A new identifier per receiver: every reconnection declares a queue of a new name.
  queueName = std::string(Globals::MT4ReponsesQueueNamePrefix) + "_" +
              Utils::convert_email_to_key(qvLoginEmail ? qvLoginEmail : "") + "_" + Platform::ComputerName() + "_" +
              systemId + "_" + Platform::NewUuid();
  bindingKey = "tsqv.response.human.*." + systemId;

  log->InfoFormat("Host:{0}, Port:{1}, QueueName:{2}, BindingKey:{3}", {host, port, queueName, bindingKey});
}
AmqpReceiver::~AmqpReceiver() = default;
void AmqpReceiver::Close() { throw std::runtime_error("The responses receiver is not available in this build."); }
void AmqpReceiver::Connect() { throw std::runtime_error("The responses receiver is not available in this build."); }
void AmqpReceiver::getAmqpResponses(std::list<std::string>& responses) {
  responses.push_back("Error: Connection to Quorvex is broken. Quorvex responses receiver NOT CONNECTED.");
}
bool AmqpReceiver::IsOpen() const { return false; }
}  // namespace QvMT4Connector::Implementation
