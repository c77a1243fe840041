#pragma once
// The facade behind the eleven exports. Every operation but QvLog forwards to the one connector
// core inside a boundary that logs any failure at Fatal and turns it into the export's failure
// result, so no failure reaches the terminal. Arguments have the exports' types: texts are
// NUL-terminated 8-bit strings (nullptr = absent), the booleans of ParamsRequest are 32-bit
// integers (nonzero = true).
#include <cstdint>
#include <string>

namespace QvMT4Connector {

// Names the facade's interface; it declares no operations.
class IRaRU4DAV {};

class RaRU4DAV : public IRaRU4DAV {
 public:
  RaRU4DAV() = delete;

  static void QvLog(std::int32_t log_level, std::int32_t errorCode, const char* message, const char* raw_text);
  static std::string QvInit(const char* qvHost, const char* qvLoginEmail, const char* qvPassword,
                            const char* qvSystemId, double qvlotMultiplier, const char* mt4ExpertVersion);
  static std::string QvDeInit();
  static std::int32_t QvReadResponses();
  static std::string QvNextResponse();

  // The exported forms; each calls its full form with reserve = "".
  static std::string QvOrderOpen(const char* loginEmail, const char* password, const char* systemid,
                                 std::int32_t orderid, const char* symbol, std::int32_t cmd, double volume,
                                 double price, double stoploss, double takeprofit, const char* timeStamp,
                                 const char* mt4OrderComment);
  static std::string QvOrderCancel(const char* loginEmail, const char* password, const char* systemid,
                                   std::int32_t orderid, const char* mt4OrderComment);
  static std::string QvOrderClose(const char* loginEmail, const char* password, const char* systemid,
                                  std::int32_t orderid, const char* symbol, std::int32_t cmd, double volume,
                                  double closePrice, const char* mt4OrderComment);
  static std::string QvOrderModify(const char* loginEmail, const char* password, const char* systemid,
                                   std::int32_t orderid, std::int32_t cmd, double oldPrice, double oldStoploss,
                                   double oldProfitTarget, double newPrice, double newStoploss,
                                   double newProfitTarget, const char* mt4OrderComment);

  // The full forms, with the free text that travels beside the comment.
  static std::string QvOrderOpen(const char* loginEmail, const char* password, const char* systemid,
                                 std::int32_t orderid, const char* symbol, std::int32_t cmd, double volume,
                                 double price, double stoploss, double takeprofit, const char* timeStamp,
                                 const char* mt4OrderComment, const char* reserve);
  static std::string QvOrderCancel(const char* loginEmail, const char* password, const char* systemid,
                                   std::int32_t orderid, const char* mt4OrderComment, const char* reserve);
  static std::string QvOrderClose(const char* loginEmail, const char* password, const char* systemid,
                                  std::int32_t orderid, const char* symbol, std::int32_t cmd, double volume,
                                  double closePrice, const char* mt4OrderComment, const char* reserve);
  static std::string QvOrderModify(const char* loginEmail, const char* password, const char* systemid,
                                   std::int32_t orderid, std::int32_t cmd, double oldPrice, double oldStoploss,
                                   double oldProfitTarget, double newPrice, double newStoploss,
                                   double newProfitTarget, const char* mt4OrderComment, const char* reserve);

  static void QvCancelAllPendingSignals(const char* loginEmail, const char* password);
  static void ParamsRequest(const char* loginEmail, const char* password, const char* systemid,
                            double QvLotMultiplier, std::int32_t RoundDownLots, std::int32_t Ignore_MT4Stoploss,
                            std::int32_t Ignore_MT4TakeProfit, double SecondsBetweenPolling,
                            std::int32_t SendOnlyMarketOrders, std::int32_t LockToChartSymbol,
                            std::int32_t ShowMessagesAsAlerts, std::int32_t TurnOnDebug, const char* EA_Version);

 private:
  struct Members;
  // The logger "RaRU4DAV" and the core, made together exactly once by the first call of any export.
  static const Members& members();

  // Runs body(members) and returns its result; a failure becomes a Fatal line and failure(text).
  template <class Body, class Failure>
  static auto boundary(Body body, Failure failure);

  static const char* safeString(const char* s);
};

}  // namespace QvMT4Connector
