// Provisional receiver: replaced when the messaging layer lands.
#include "connector/implementation/AmqpReceiver.h"

#include <stdexcept>

namespace QvMT4Connector::Implementation {
std::shared_ptr<Interface::ILogger> AmqpReceiver::log;

AmqpReceiver::AmqpReceiver(const char* host_, std::int32_t port_, const char*, const char*)
    : host(host_ ? host_ : ""), port(port_) {}
AmqpReceiver::~AmqpReceiver() = default;
void AmqpReceiver::Close() { throw std::runtime_error("The responses receiver is not available in this build."); }
void AmqpReceiver::Connect() { throw std::runtime_error("The responses receiver is not available in this build."); }
void AmqpReceiver::getAmqpResponses(std::list<std::string>& responses) {
  responses.push_back("Error: Connection to Quorvex is broken. Quorvex responses receiver NOT CONNECTED.");
}
bool AmqpReceiver::IsOpen() const { return false; }
}  // namespace QvMT4Connector::Implementation
