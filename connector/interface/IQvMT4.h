#pragma once
// The connector core behind the exports. Text arguments are NUL-terminated 8-bit strings;
// a null pointer stands for an absent text.
#include <cstdint>
#include <string>

namespace QvMT4Connector::Interface {

class IQvMT4 {
 public:
  virtual ~IQvMT4() = default;

  virtual std::string Init(const char* qvHost, const char* qvLoginEmail, const char* qvPassword,
                           const char* qvSystemId, double qvlotMultiplier, const char* mt4ExpertVersion) = 0;
  virtual std::string DeInit() = 0;
  virtual std::int32_t QvReadResponses() = 0;
  virtual std::string QvNextResponse() = 0;
  virtual std::string QvOrderOpen(const char* loginEmail, const char* password, const char* systemid,
                                  std::int32_t orderid, const char* symbol, std::int32_t cmd, double volume,
                                  double price, double stoploss, double takeprofit, const char* timeStamp,
                                  const char* mt4OrderComment, const char* reserve) = 0;
  virtual std::string QvOrderCancel(const char* loginEmail, const char* password, const char* systemid,
                                    std::int32_t orderid, const char* mt4OrderComment, const char* reserve) = 0;
  virtual std::string QvOrderClose(const char* loginEmail, const char* password, const char* systemid,
                                   std::int32_t orderid, const char* symbol, std::int32_t cmd, double volume,
                                   double closePrice, const char* mt4OrderComment, const char* reserve) = 0;
  virtual std::string QvOrderModify(const char* loginEmail, const char* password, const char* systemid,
                                    std::int32_t orderid, std::int32_t cmd, double oldPrice, double oldStoploss,
                                    double oldProfitTarget, double newPrice, double newStoploss,
                                    double newProfitTarget, const char* mt4OrderComment, const char* reserve) = 0;
  virtual void ParamsRequest(const char* loginEmail, const char* password, const char* systemid,
                             double QvLotMultiplier, bool RoundDownLots, bool Ignore_MT4Stoploss,
                             bool Ignore_MT4TakeProfit, double SecondsBetweenPolling, bool SendOnlyMarketOrders,
                             bool LockToChartSymbol, bool ShowMessagesAsAlerts, bool TurnOnDebug,
                             const char* EA_Version) = 0;
  virtual void QvCancelAllPendingSignals(const char* loginEmail, const char* password) = 0;
};

}  // namespace QvMT4Connector::Interface
