// Provisional creation of the sender: replaced by the signal texts.
#include <stdexcept>

#include "connector/implementation/AmqpSender.h"

namespace QvMT4Connector::Implementation {
AmqpSender::AmqpSender(const char* host_, std::int32_t port_, const char*, const char*, const char*)
    : host(host_ ? host_ : ""), port(port_) {
  throw std::runtime_error("The signals sender is not available in this build.");
}
std::string AmqpSender::FormatOpenOrder(const char*, const char*, std::int32_t, const char*, std::int32_t, double,
                                        double, double, double, const char*, const char*, const char*) const {
  return "";
}
std::string AmqpSender::FormatModifyOrder(const char*, const char*, const char*, std::int32_t, std::int32_t, double,
                                          double, double, double, double, double, const char*, const char*) const {
  return "";
}
}  // namespace QvMT4Connector::Implementation
