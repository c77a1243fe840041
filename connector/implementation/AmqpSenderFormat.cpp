// The creation of the sender and the signal texts it publishes: one line of comma-separated
// fields, the keyword first, then the common data block, then the fields of the kind.
#include <initializer_list>
#include <stdexcept>
#include <string_view>

#include "connector/Globals.h"
#include "connector/Utils.h"
#include "connector/implementation/AmqpSender.h"
#include "connector/interface/FLogger.h"
#include "platform/Platform.h"

namespace QvMT4Connector::Implementation {
namespace {
std::string_view Text(const char* text) { return text ? std::string_view(text) : std::string_view(); }

// Base64 of the text's ASCII bytes (one "?" per non-ASCII character).
std::string Base64OfAscii(std::string_view text) { return Utils::Base64Encode(Platform::AnsiToAscii(text)); }

std::string Join(std::initializer_list<std::string_view> fields) {
  std::string line;
  bool first = true;
  for (const auto field : fields) {
    if (!first) line.push_back(',');
    line.append(field);
    first = false;
  }
  return line;
}

std::string Int(std::int32_t value) { return Utils::FormatInt(value); }
std::string Double(double value) { return Utils::FormatDouble(value); }
std::string_view Bool(bool value) { return Utils::FormatBool(value); }
}  // namespace

AmqpSender::AmqpSender(const char* host_, std::int32_t port_, const char* qvLoginEmail_, const char* qvPassword,
                       const char* systemId_)
    : log(Interface::FLogger::Create("AmqpSender")), host(Text(host_)), port(port_) {
  if (qvLoginEmail_ == nullptr) throw std::invalid_argument("Cannot create the signals sender: no login e-mail.");
  if (qvPassword == nullptr) throw std::invalid_argument("Cannot create the signals sender: no password.");
  qvLoginEmail = qvLoginEmail_;
  systemId = Text(systemId_);

  user = Utils::dcd(Globals::MT4User);
  amqpPassword = Utils::dcd(Globals::MT4UserPassword);
  virtualHost = Utils::dcd(Globals::MT4SignalsVirtualHost);
  exchange = Utils::dcd(Globals::MT4SignalsExchange);

  qvLoginEmail_Base64 = Base64OfAscii(qvLoginEmail);
  routing_key = "mt4_signal." + Utils::convert_email_to_key(qvLoginEmail) + "." + systemId;
  // Base64 three times over; the password itself is not kept.
  password_encrypted_Base64 = Utils::Base64Encode(Utils::Base64Encode(Base64OfAscii(qvPassword)));

  log->DebugFormat("Host:{0}, Port:{1}, routing_key:{2}", host, port, routing_key);
}

std::string AmqpSender::formatComments(std::string_view mt4OrderComment, std::string_view reserve) const {
  return Join({Base64OfAscii(mt4OrderComment), Base64OfAscii(reserve)});
}

std::string AmqpSender::FormatCommonData(std::string_view mt4OrderComment, std::string_view reserve) const {
  return Join({qvLoginEmail_Base64, password_encrypted_Base64, systemId, formatComments(mt4OrderComment, reserve)});
}

std::string AmqpSender::FormatLogin(const char*, const char*, const char*) const {
  return Join({"Login", FormatCommonData({}, {})});
}

std::string AmqpSender::FormatOpenOrder(const char*, const char*, std::int32_t orderid, const char* symbol,
                                        std::int32_t cmd, double volume, double price, double stoploss,
                                        double takeprofit, const char* timeStamp, const char* mt4OrderComment,
                                        const char* reserve) const {
  return Join({"Open", FormatCommonData(Text(mt4OrderComment), Text(reserve)), Int(orderid), Text(symbol), Int(cmd),
               Double(volume), Double(price), Double(stoploss), Double(takeprofit), Text(timeStamp)});
}

std::string AmqpSender::FormatCloseOrder(const char*, const char*, std::int32_t orderid, const char* symbol,
                                         std::int32_t cmd, double volume, double closePrice,
                                         const char* mt4OrderComment, const char* reserve) const {
  return Join({"Close", FormatCommonData(Text(mt4OrderComment), Text(reserve)), Int(orderid), Text(symbol),
               Int(cmd), Double(volume), Double(closePrice)});
}

std::string AmqpSender::FormatCancelOpen(const char*, const char*, std::int32_t orderid, const char* mt4OrderComment,
                                         const char* reserve) const {
  return Join({"Cancel", FormatCommonData(Text(mt4OrderComment), Text(reserve)), Int(orderid)});
}

std::string AmqpSender::FormatModifyOrder(const char*, const char*, const char*, std::int32_t orderid,
                                          std::int32_t cmd, double oldPrice, double oldStoploss,
                                          double oldProfitTarget, double newPrice, double newStoploss,
                                          double newProfitTarget, const char* mt4OrderComment,
                                          const char* reserve) const {
  return Join({"Replace", FormatCommonData(Text(mt4OrderComment), Text(reserve)), Int(orderid), Int(cmd),
               Double(oldPrice), Double(oldStoploss), Double(oldProfitTarget), Double(newPrice), Double(newStoploss),
               Double(newProfitTarget)});
}

std::string AmqpSender::FormatParamsRequest(const char*, const char*, const char*, double QvLotMultiplier,
                                            bool RoundDownLots, bool Ignore_MT4Stoploss, bool Ignore_MT4TakeProfit,
                                            double SecondsBetweenPolling, bool SendOnlyMarketOrders,
                                            bool LockToChartSymbol, bool ShowMessagesAsAlerts, bool TurnOnDebug,
                                            const char* EA_Version) const {
  return Join({"Params", FormatCommonData({}, {}), Globals::RaRU4DAVVersion, Text(EA_Version),
               Double(QvLotMultiplier), Bool(RoundDownLots), Bool(Ignore_MT4Stoploss), Bool(Ignore_MT4TakeProfit),
               Double(SecondsBetweenPolling), Bool(SendOnlyMarketOrders), Bool(LockToChartSymbol),
               Bool(ShowMessagesAsAlerts), Bool(TurnOnDebug)});
}

std::string AmqpSender::FormatCancelAllPendingSignals() const {
  return Join({"CancelAllPendingSignals", FormatCommonData({}, {})});
}

}  // namespace QvMT4Connector::Implementation
