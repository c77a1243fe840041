#pragma once
// The signal sender. Creation and the signal texts live in AmqpSenderFormat.cpp; connecting,
// publishing, the shutdown handling and closing in AmqpSender.cpp.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "amqp/Amqp.h"
#include "connector/interface/IAmqpSender.h"
#include "connector/interface/ILogger.h"

namespace QvMT4Connector::Implementation {

class AmqpSender : public Interface::IAmqpSender {
 public:
  // Throws when a built-in setting cannot be decoded or the e-mail or the password is absent.
  AmqpSender(const char* host, std::int32_t port, const char* qvLoginEmail, const char* qvPassword,
             const char* systemId);
  ~AmqpSender() override;

  void Close() override;
  void Connect() override;
  bool IsOpen() const override;

  std::string FormatOpenOrder(const char* password, const char* systemid, std::int32_t orderid, const char* symbol,
                              std::int32_t cmd, double volume, double price, double stoploss, double takeprofit,
                              const char* timeStamp, const char* mt4OrderComment,
                              const char* reserve) const override;
  std::string FormatModifyOrder(const char* loginEmail, const char* password, const char* systemid,
                                std::int32_t orderid, std::int32_t cmd, double oldPrice, double oldStoploss,
                                double oldProfitTarget, double newPrice, double newStoploss, double newProfitTarget,
                                const char* mt4OrderComment, const char* reserve) const override;
  std::string FormatParamsRequest(const char* loginEmail, const char* password, const char* systemid,
                                  double QvLotMultiplier, bool RoundDownLots, bool Ignore_MT4Stoploss,
                                  bool Ignore_MT4TakeProfit, double SecondsBetweenPolling, bool SendOnlyMarketOrders,
                                  bool LockToChartSymbol, bool ShowMessagesAsAlerts, bool TurnOnDebug,
                                  const char* EA_Version) const;

  void SendLogin(const char* loginEmail, const char* password, const char* systemid) override;
  std::string SendOpenOrder(const char* loginEmail, const char* password, const char* systemid,
                            std::int32_t orderid, const char* symbol, std::int32_t cmd, double volume, double price,
                            double stoploss, double takeprofit, const char* timeStamp, const char* mt4OrderComment,
                            const char* reserve) override;
  std::string SendCancelOrder(const char* loginEmail, const char* password, const char* systemid,
                              std::int32_t orderid, const char* mt4OrderComment, const char* reserve) override;
  std::string SendOrderClose(const char* loginEmail, const char* password, const char* systemid,
                             std::int32_t orderid, const char* symbol, std::int32_t cmd, double volume,
                             double closePrice, const char* mt4OrderComment, const char* reserve) override;
  std::string SendOrderModify(const char* loginEmail, const char* password, const char* systemid,
                              std::int32_t orderid, std::int32_t cmd, double oldPrice, double oldStoploss,
                              double oldProfitTarget, double newPrice, double newStoploss, double newProfitTarget,
                              const char* mt4OrderComment, const char* reserve) override;
  void SendParamsRequest(const char* loginEmail, const char* password, const char* systemid,
                         double QvLotMultiplier, bool RoundDownLots, bool Ignore_MT4Stoploss,
                         bool Ignore_MT4TakeProfit, double SecondsBetweenPolling, bool SendOnlyMarketOrders,
                         bool LockToChartSymbol, bool ShowMessagesAsAlerts, bool TurnOnDebug,
                         const char* EA_Version) override;
  void QvCancelAllPendingSignals(const char* loginEmail, const char* password) override;

  const std::string& RoutingKey() const { return routing_key; }

 private:
  friend struct AmqpSenderTesting;  // the tests reach the private signal texts through it

  // Signal texts.
  std::string FormatCommonData(std::string_view mt4OrderComment, std::string_view reserve) const;
  std::string formatComments(std::string_view mt4OrderComment, std::string_view reserve) const;
  std::string FormatLogin(const char* loginEmail, const char* password, const char* systemid) const;
  std::string FormatCloseOrder(const char* password, const char* systemid, std::int32_t orderid,
                               const char* symbol, std::int32_t cmd, double volume, double closePrice,
                               const char* mt4OrderComment, const char* reserve) const;
  std::string FormatCancelOpen(const char* password, const char* systemid, std::int32_t orderid,
                               const char* mt4OrderComment, const char* reserve) const;
  // The "CancelAllPendingSignals" text (QvCancelAllPendingSignals).
  std::string FormatCancelAllPendingSignals() const;

  // Messaging.
  // "OK" once the broker confirmed the message, else the error's text (logged at Fatal level).
  std::string publish(const std::string& binding_key, const std::string& payload);
  std::string sendText(const std::string& text);  // logs "Sending: {0}" and publishes
  void connection_ConnectionShutdown(Amqp::Connection& connection, const Amqp::ShutdownEventArgs& reason);
  // Lets go of the current connection (closing it if still open) without notifications.
  void dropConnection();

  std::shared_ptr<Interface::ILogger> log;
  std::string host;
  std::int32_t port;
  std::string qvLoginEmail;
  std::string systemId;
  std::string user;
  std::string amqpPassword;
  std::string virtualHost;
  std::string exchange;
  std::string routing_key;
  std::string qvLoginEmail_Base64;
  std::string password_encrypted_Base64;
  std::shared_ptr<Amqp::Connection> connection;
  std::shared_ptr<Amqp::Channel> channel;
  Amqp::BasicProperties basicProperties;
  // Set by the shutdown handler on the connection's service thread, read by publish.
  std::atomic<bool> reconnect{false};
  std::atomic<int> shutdownSubscription{0};
  bool closed = false;  // Close was called: publications answer an error until the next Connect
};

}  // namespace QvMT4Connector::Implementation
