#pragma once
// The signal sender: publishes one signal text per trading event to the signals exchange.
#include <cstdint>
#include <string>

namespace QvMT4Connector::Interface {

class IAmqpSender {
 public:
  virtual ~IAmqpSender() = default;

  virtual void Close() = 0;
  virtual void Connect() = 0;
  virtual bool IsOpen() const = 0;

  virtual std::string FormatOpenOrder(const char* password, const char* systemid, std::int32_t orderid,
                                      const char* symbol, std::int32_t cmd, double volume, double price,
                                      double stoploss, double takeprofit, const char* timeStamp,
                                      const char* mt4OrderComment, const char* reserve) const = 0;
  virtual std::string FormatModifyOrder(const char* loginEmail, const char* password, const char* systemid,
                                        std::int32_t orderid, std::int32_t cmd, double oldPrice,
                                        double oldStoploss, double oldProfitTarget, double newPrice,
                                        double newStoploss, double newProfitTarget, const char* mt4OrderComment,
                                        const char* reserve) const = 0;

  virtual void SendLogin(const char* loginEmail, const char* password, const char* systemid) = 0;
  virtual std::string SendOpenOrder(const char* loginEmail, const char* password, const char* systemid,
                                    std::int32_t orderid, const char* symbol, std::int32_t cmd, double volume,
                                    double price, double stoploss, double takeprofit, const char* timeStamp,
                                    const char* mt4OrderComment, const char* reserve) = 0;
  virtual std::string SendCancelOrder(const char* loginEmail, const char* password, const char* systemid,
                                      std::int32_t orderid, const char* mt4OrderComment, const char* reserve) = 0;
  virtual std::string SendOrderClose(const char* loginEmail, const char* password, const char* systemid,
                                     std::int32_t orderid, const char* symbol, std::int32_t cmd, double volume,
                                     double closePrice, const char* mt4OrderComment, const char* reserve) = 0;
  virtual std::string SendOrderModify(const char* loginEmail, const char* password, const char* systemid,
                                      std::int32_t orderid, std::int32_t cmd, double oldPrice, double oldStoploss,
                                      double oldProfitTarget, double newPrice, double newStoploss,
                                      double newProfitTarget, const char* mt4OrderComment,
                                      const char* reserve) = 0;
  virtual void SendParamsRequest(const char* loginEmail, const char* password, const char* systemid,
                                 double QvLotMultiplier, bool RoundDownLots, bool Ignore_MT4Stoploss,
                                 bool Ignore_MT4TakeProfit, double SecondsBetweenPolling,
                                 bool SendOnlyMarketOrders, bool LockToChartSymbol, bool ShowMessagesAsAlerts,
                                 bool TurnOnDebug, const char* EA_Version) = 0;
  virtual void QvCancelAllPendingSignals(const char* loginEmail, const char* password) = 0;
};

}  // namespace QvMT4Connector::Interface
