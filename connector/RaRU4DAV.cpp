#include "connector/RaRU4DAV.h"

#include <exception>
#include <memory>
#include <type_traits>
#include <vector>

#include "connector/Globals.h"
#include "connector/interface/FLogger.h"
#include "connector/interface/FQvMT4.h"
#include "platform/Platform.h"

namespace QvMT4Connector {
using Interface::LogValue;

struct RaRU4DAV::Members {
  std::shared_ptr<Interface::ILogger> log;
  std::unique_ptr<Interface::IQvMT4> qvmt4;
};

const RaRU4DAV::Members& RaRU4DAV::members() {
  // A function-local static is made exactly once, also when two first calls race; if making
  // fails, the next call tries again. Never destroyed, like the core it owns.
  static const Members* made = [] {
    auto log = Interface::FLogger::Create("RaRU4DAV");  // first: making a logger sets up logging
    auto qvmt4 = Interface::FQvMT4::Create();
    return new Members{std::move(log), std::move(qvmt4)};
  }();
  return *made;
}

namespace {
void writeFatal(const std::shared_ptr<Interface::ILogger>* log, const std::string& reason) {
  if (log != nullptr && *log) {
    (*log)->Fatal(LogValue(reason));
  } else {
    Platform::Diagnostic("QvMT4Connector: " + reason);
  }
}
}  // namespace

template <class Body, class Failure>
auto RaRU4DAV::boundary(Body body, Failure failure) {
  const std::shared_ptr<Interface::ILogger>* log = nullptr;
  std::string reason;
  try {
    const Members& m = members();
    log = &m.log;
    return body(m);
  } catch (const std::exception& e) {
    reason = e.what();
  } catch (...) {
    reason = "Unknown failure.";
  }
  writeFatal(log, reason);
  return failure(reason);
}

const char* RaRU4DAV::safeString(const char* s) { return s == nullptr ? "" : s; }

void RaRU4DAV::QvLog(std::int32_t log_level, std::int32_t errorCode, const char* message, const char* raw_text) {
  try {
    members().log->logMT4(log_level, errorCode, safeString(message), safeString(raw_text));
  } catch (const std::exception& e) {
    Platform::Diagnostic(std::string("QvMT4Connector: QvLog failed: ") + e.what());
  } catch (...) {
    Platform::Diagnostic("QvMT4Connector: QvLog failed.");
  }
}

namespace {
// Failure results of the exports.
std::string errorText(const std::string& reason) { return "Error: " + reason; }
std::string reasonText(const std::string& reason) { return reason; }
void nothing(const std::string&) {}
}  // namespace

std::string RaRU4DAV::QvInit(const char* qvHost, const char* qvLoginEmail, const char* qvPassword,
                             const char* qvSystemId, double qvlotMultiplier, const char* mt4ExpertVersion) {
  return boundary(
      [&](const Members& m) {
        return m.qvmt4->Init(qvHost, qvLoginEmail, qvPassword, qvSystemId, qvlotMultiplier, mt4ExpertVersion);
      },
      errorText);
}

std::string RaRU4DAV::QvDeInit() {
  return boundary([](const Members& m) { return m.qvmt4->DeInit(); }, errorText);
}

std::int32_t RaRU4DAV::QvReadResponses() {
  return boundary([](const Members& m) { return m.qvmt4->QvReadResponses(); },
                  [](const std::string&) { return Globals::NO_RESPONSE; });
}

std::string RaRU4DAV::QvNextResponse() {
  return boundary([](const Members& m) { return m.qvmt4->QvNextResponse(); }, errorText);
}

std::string RaRU4DAV::QvOrderOpen(const char* loginEmail, const char* password, const char* systemid,
                                  std::int32_t orderid, const char* symbol, std::int32_t cmd, double volume,
                                  double price, double stoploss, double takeprofit, const char* timeStamp,
                                  const char* mt4OrderComment) {
  return QvOrderOpen(loginEmail, password, systemid, orderid, symbol, cmd, volume, price, stoploss, takeprofit,
                     timeStamp, mt4OrderComment, "");
}

std::string RaRU4DAV::QvOrderOpen(const char* loginEmail, const char* password, const char* systemid,
                                  std::int32_t orderid, const char* symbol, std::int32_t cmd, double volume,
                                  double price, double stoploss, double takeprofit, const char* timeStamp,
                                  const char* mt4OrderComment, const char* reserve) {
  return boundary(
      [&](const Members& m) {
        m.log->DebugFormat(
            "QvOrderOpen: systemid:{0}, orderid:{1},  cmd:{2}, symbol:{3}, volume:{4},  price:{5}, "
            "stoploss:{6}, takeprofit:{7}, timeStamp:{8}",
            {systemid, orderid, cmd, symbol, volume, price, stoploss, takeprofit, timeStamp});
        return m.qvmt4->QvOrderOpen(loginEmail, password, systemid, orderid, symbol, cmd, volume, price, stoploss,
                                    takeprofit, timeStamp, safeString(mt4OrderComment), safeString(reserve));
      },
      reasonText);
}

std::string RaRU4DAV::QvOrderCancel(const char* loginEmail, const char* password, const char* systemid,
                                    std::int32_t orderid, const char* mt4OrderComment) {
  return QvOrderCancel(loginEmail, password, systemid, orderid, mt4OrderComment, "");
}

std::string RaRU4DAV::QvOrderCancel(const char* loginEmail, const char* password, const char* systemid,
                                    std::int32_t orderid, const char* mt4OrderComment, const char* reserve) {
  return boundary(
      [&](const Members& m) {
        m.log->DebugFormat("QvOrderCancel: systemid:{0}, orderid:{1}", systemid, orderid);
        return m.qvmt4->QvOrderCancel(loginEmail, password, systemid, orderid, safeString(mt4OrderComment),
                                      safeString(reserve));
      },
      reasonText);
}

std::string RaRU4DAV::QvOrderClose(const char* loginEmail, const char* password, const char* systemid,
                                   std::int32_t orderid, const char* symbol, std::int32_t cmd, double volume,
                                   double closePrice, const char* mt4OrderComment) {
  return QvOrderClose(loginEmail, password, systemid, orderid, symbol, cmd, volume, closePrice, mt4OrderComment,
                      "");
}

std::string RaRU4DAV::QvOrderClose(const char* loginEmail, const char* password, const char* systemid,
                                   std::int32_t orderid, const char* symbol, std::int32_t cmd, double volume,
                                   double closePrice, const char* mt4OrderComment, const char* reserve) {
  return boundary(
      [&](const Members& m) {
        m.log->DebugFormat("QvOrderClose: systemid:{0}, orderid:{1}, cmd:{2}, symbol:{3}, volume:{4}, price:{5}",
                           {systemid, orderid, cmd, symbol, volume, closePrice});
        return m.qvmt4->QvOrderClose(loginEmail, password, systemid, orderid, symbol, cmd, volume, closePrice,
                                     safeString(mt4OrderComment), safeString(reserve));
      },
      reasonText);
}

std::string RaRU4DAV::QvOrderModify(const char* loginEmail, const char* password, const char* systemid,
                                    std::int32_t orderid, std::int32_t cmd, double oldPrice, double oldStoploss,
                                    double oldProfitTarget, double newPrice, double newStoploss,
                                    double newProfitTarget, const char* mt4OrderComment) {
  return QvOrderModify(loginEmail, password, systemid, orderid, cmd, oldPrice, oldStoploss, oldProfitTarget,
                       newPrice, newStoploss, newProfitTarget, mt4OrderComment, "");
}

std::string RaRU4DAV::QvOrderModify(const char* loginEmail, const char* password, const char* systemid,
                                    std::int32_t orderid, std::int32_t cmd, double oldPrice, double oldStoploss,
                                    double oldProfitTarget, double newPrice, double newStoploss,
                                    double newProfitTarget, const char* mt4OrderComment, const char* reserve) {
  return boundary(
      [&](const Members& m) {
        m.log->DebugFormat(
            "QvOrderModify: systemid:{0}, orderid:{1}, cmd:{2}, oldPrice:{3}, oldStoploss:{4}, "
            "oldProfitTarget:{5}, newPrice:{6}, newStoploss:{7}, newProfitTarget:{8}",
            {systemid, orderid, cmd, oldPrice, oldStoploss, oldProfitTarget, newPrice, newStoploss,
             newProfitTarget});
        return m.qvmt4->QvOrderModify(loginEmail, password, systemid, orderid, cmd, oldPrice, oldStoploss,
                                      oldProfitTarget, newPrice, newStoploss, newProfitTarget,
                                      safeString(mt4OrderComment), safeString(reserve));
      },
      reasonText);
}

void RaRU4DAV::QvCancelAllPendingSignals(const char* loginEmail, const char* password) {
  boundary(
      [&](const Members& m) {
        m.log->Debug("QvCancelAllPendingSignals");
        m.qvmt4->QvCancelAllPendingSignals(loginEmail, password);
      },
      nothing);
}

void RaRU4DAV::ParamsRequest(const char* loginEmail, const char* password, const char* systemid,
                             double QvLotMultiplier, std::int32_t RoundDownLots, std::int32_t Ignore_MT4Stoploss,
                             std::int32_t Ignore_MT4TakeProfit, double SecondsBetweenPolling,
                             std::int32_t SendOnlyMarketOrders, std::int32_t LockToChartSymbol,
                             std::int32_t ShowMessagesAsAlerts, std::int32_t TurnOnDebug, const char* EA_Version) {
  boundary(
      [&](const Members& m) {
        m.qvmt4->ParamsRequest(loginEmail, password, systemid, QvLotMultiplier, RoundDownLots != 0,
                               Ignore_MT4Stoploss != 0, Ignore_MT4TakeProfit != 0, SecondsBetweenPolling,
                               SendOnlyMarketOrders != 0, LockToChartSymbol != 0, ShowMessagesAsAlerts != 0,
                               TurnOnDebug != 0, EA_Version);
      },
      nothing);
}

}  // namespace QvMT4Connector
