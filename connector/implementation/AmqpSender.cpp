// Provisional messaging half of the sender: replaced when the messaging layer lands.
#include "connector/implementation/AmqpSender.h"

#include <stdexcept>

namespace QvMT4Connector::Implementation {
namespace {
[[noreturn]] void unavailable() { throw std::runtime_error("The signals sender is not available in this build."); }
}  // namespace

AmqpSender::~AmqpSender() = default;
void AmqpSender::Close() { unavailable(); }
void AmqpSender::Connect() { unavailable(); }
bool AmqpSender::IsOpen() const { return false; }
std::string AmqpSender::publish(const std::string&, const std::string&) { unavailable(); }
void AmqpSender::SendLogin(const char*, const char*, const char*) { unavailable(); }
std::string AmqpSender::SendOpenOrder(const char*, const char*, const char*, std::int32_t, const char*, std::int32_t,
                                      double, double, double, double, const char*, const char*, const char*) {
  unavailable();
}
std::string AmqpSender::SendCancelOrder(const char*, const char*, const char*, std::int32_t, const char*,
                                        const char*) {
  unavailable();
}
std::string AmqpSender::SendOrderClose(const char*, const char*, const char*, std::int32_t, const char*,
                                       std::int32_t, double, double, const char*, const char*) {
  unavailable();
}
std::string AmqpSender::SendOrderModify(const char*, const char*, const char*, std::int32_t, std::int32_t, double,
                                        double, double, double, double, double, const char*, const char*) {
  unavailable();
}
void AmqpSender::SendParamsRequest(const char*, const char*, const char*, double, bool, bool, bool, double, bool,
                                   bool, bool, bool, const char*) {
  unavailable();
}
void AmqpSender::QvCancelAllPendingSignals(const char*, const char*) { unavailable(); }
}  // namespace QvMT4Connector::Implementation
