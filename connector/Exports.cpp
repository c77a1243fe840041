// The library's only entry points. Each one forwards to the facade, which handles every failure
// of the work itself; the shields here only keep what is left (running out of memory while
// reporting a failure) from unwinding into the terminal.
#include "connector/QvMT4Connector.h"

#include <string>

#include "connector/Globals.h"
#include "connector/RaRU4DAV.h"
#include "platform/Platform.h"

namespace {
using QvMT4Connector::RaRU4DAV;
namespace Platform = QvMT4Connector::Platform;

void reportShielded() noexcept {
  try {
    Platform::Diagnostic("QvMT4Connector: a call failed at the export boundary");
  } catch (...) {
  }
}

template <class Result, class Body>
Result shield(Result fallback, Body body) noexcept {
  try {
    return body();
  } catch (...) {
    reportShielded();
  }
  return fallback;
}

template <class Body>
void shield(Body body) noexcept {
  try {
    body();
  } catch (...) {
    reportShielded();
  }
}

// The caller owns the copy; nullptr only when there is no memory for it.
template <class Body>
char* textResult(Body body) noexcept {
  return shield<char*>(nullptr, [&] {
    char* result = Platform::AllocateResult(body());
    if (result == nullptr) Platform::Diagnostic("QvMT4Connector: no memory for a result text");
    return result;
  });
}
}  // namespace

extern "C" {

QV_EXPORT void QV_CALL QvLog(int32_t log_level, int32_t errorCode, const char* message, const char* raw_text) {
  shield([&] { RaRU4DAV::QvLog(log_level, errorCode, message, raw_text); });
}

QV_EXPORT char* QV_CALL QvInit(const char* qvHost, const char* qvLoginEmail, const char* qvPassword,
                               const char* qvSystemId, double qvlotMultiplier, const char* mt4ExpertVersion) {
  return textResult(
      [&] { return RaRU4DAV::QvInit(qvHost, qvLoginEmail, qvPassword, qvSystemId, qvlotMultiplier, mt4ExpertVersion); });
}

QV_EXPORT char* QV_CALL QvDeInit(void) {
  return textResult([] { return RaRU4DAV::QvDeInit(); });
}

QV_EXPORT int32_t QV_CALL QvReadResponses(void) {
  return shield<int32_t>(QvMT4Connector::Globals::NO_RESPONSE, [] { return RaRU4DAV::QvReadResponses(); });
}

QV_EXPORT char* QV_CALL QvNextResponse(void) {
  return textResult([] { return RaRU4DAV::QvNextResponse(); });
}

QV_EXPORT char* QV_CALL QvOrderOpen(const char* loginEmail, const char* password, const char* systemid,
                                    int32_t orderid, const char* symbol, int32_t cmd, double volume, double price,
                                    double stoploss, double takeprofit, const char* timeStamp,
                                    const char* mt4OrderComment) {
  return textResult([&] {
    return RaRU4DAV::QvOrderOpen(loginEmail, password, systemid, orderid, symbol, cmd, volume, price, stoploss,
                                 takeprofit, timeStamp, mt4OrderComment);
  });
}

QV_EXPORT char* QV_CALL QvOrderCancel(const char* loginEmail, const char* password, const char* systemid,
                                      int32_t orderid, const char* mt4OrderComment) {
  return textResult(
      [&] { return RaRU4DAV::QvOrderCancel(loginEmail, password, systemid, orderid, mt4OrderComment); });
}

QV_EXPORT char* QV_CALL QvOrderClose(const char* loginEmail, const char* password, const char* systemid,
                                     int32_t orderid, const char* symbol, int32_t cmd, double volume,
                                     double closePrice, const char* mt4OrderComment) {
  return textResult([&] {
    return RaRU4DAV::QvOrderClose(loginEmail, password, systemid, orderid, symbol, cmd, volume, closePrice,
                                  mt4OrderComment);
  });
}

QV_EXPORT char* QV_CALL QvOrderModify(const char* loginEmail, const char* password, const char* systemid,
                                      int32_t orderid, int32_t cmd, double oldPrice, double oldStoploss,
                                      double oldProfitTarget, double newPrice, double newStoploss,
                                      double newProfitTarget, const char* mt4OrderComment) {
  return textResult([&] {
    return RaRU4DAV::QvOrderModify(loginEmail, password, systemid, orderid, cmd, oldPrice, oldStoploss,
                                   oldProfitTarget, newPrice, newStoploss, newProfitTarget, mt4OrderComment);
  });
}

QV_EXPORT void QV_CALL QvCancelAllPendingSignals(const char* loginEmail, const char* password) {
  shield([&] { RaRU4DAV::QvCancelAllPendingSignals(loginEmail, password); });
}

QV_EXPORT void QV_CALL ParamsRequest(const char* loginEmail, const char* password, const char* systemid,
                                     double QvLotMultiplier, int32_t RoundDownLots, int32_t Ignore_MT4Stoploss,
                                     int32_t Ignore_MT4TakeProfit, double SecondsBetweenPolling,
                                     int32_t SendOnlyMarketOrders, int32_t LockToChartSymbol,
                                     int32_t ShowMessagesAsAlerts, int32_t TurnOnDebug, const char* EA_Version) {
  shield([&] {
    RaRU4DAV::ParamsRequest(loginEmail, password, systemid, QvLotMultiplier, RoundDownLots, Ignore_MT4Stoploss,
                            Ignore_MT4TakeProfit, SecondsBetweenPolling, SendOnlyMarketOrders, LockToChartSymbol,
                            ShowMessagesAsAlerts, TurnOnDebug, EA_Version);
  });
}

}  // extern "C"
