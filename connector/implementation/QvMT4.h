#pragma once
// The connector core: holds the user's credentials, owns the signal sender and the response
// receiver, and keeps the list of replies until the Expert Advisor takes them.
//
// Several Expert Advisors may call into the one core from their own threads. One state lock
// serialises everything that touches the sender, the receiver and the stored credentials;
// responsesLock guards only the reply list. Lock order: stateLock before responsesLock, never
// the other way round.
#include <array>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "connector/interface/IAmqpReceiver.h"
#include "connector/interface/IAmqpSender.h"
#include "connector/interface/ILogger.h"
#include "connector/interface/IQvMT4.h"

namespace QvMT4Connector::Implementation {

class QvMT4 : public Interface::IQvMT4 {
 public:
  // Element 0: "OK" or "Error" ("" when nothing was attempted); element 1: the message for the EA.
  using StatusPair = std::array<std::string, 2>;

  QvMT4();

  std::string Init(const char* qvHost, const char* qvLoginEmail, const char* qvPassword, const char* qvSystemId,
                   double qvlotMultiplier, const char* mt4ExpertVersion) override;
  std::string DeInit() override;
  std::int32_t QvReadResponses() override;
  std::string QvNextResponse() override;
  std::string QvOrderOpen(const char* loginEmail, const char* password, const char* systemid, std::int32_t orderid,
                          const char* symbol, std::int32_t cmd, double volume, double price, double stoploss,
                          double takeprofit, const char* timeStamp, const char* mt4OrderComment,
                          const char* reserve) override;
  std::string QvOrderCancel(const char* loginEmail, const char* password, const char* systemid,
                            std::int32_t orderid, const char* mt4OrderComment, const char* reserve) override;
  std::string QvOrderClose(const char* loginEmail, const char* password, const char* systemid,
                           std::int32_t orderid, const char* symbol, std::int32_t cmd, double volume,
                           double closePrice, const char* mt4OrderComment, const char* reserve) override;
  std::string QvOrderModify(const char* loginEmail, const char* password, const char* systemid,
                            std::int32_t orderid, std::int32_t cmd, double oldPrice, double oldStoploss,
                            double oldProfitTarget, double newPrice, double newStoploss, double newProfitTarget,
                            const char* mt4OrderComment, const char* reserve) override;
  void ParamsRequest(const char* loginEmail, const char* password, const char* systemid, double QvLotMultiplier,
                     bool RoundDownLots, bool Ignore_MT4Stoploss, bool Ignore_MT4TakeProfit,
                     double SecondsBetweenPolling, bool SendOnlyMarketOrders, bool LockToChartSymbol,
                     bool ShowMessagesAsAlerts, bool TurnOnDebug, const char* EA_Version) override;
  void QvCancelAllPendingSignals(const char* loginEmail, const char* password) override;

  StatusPair ConnectSender(const char* qvHost, const char* qvLoginEmail, const char* qvPassword,
                           const char* qvSystemId);
  StatusPair ConnectReceiver(const char* qvHost, const char* qvLoginEmail, const char* qvPassword,
                             const char* qvSystemId);

  // Tests only (the exports never call it): drops the sender and the receiver without closing
  // them and empties the reply list, so each test starts from the state of a fresh library.
  static void ResetForTesting();

 private:
  // The class-wide members, made once on first use and never destroyed: they live until the
  // library is unloaded, and no destructor runs under the loader's lock on Windows.
  struct ClassState {
    std::shared_ptr<Interface::ILogger> log;
    std::mutex stateLock;  // guards the two members below and every object's credentials
    std::unique_ptr<Interface::IAmqpSender> amqpSender;
    std::unique_ptr<Interface::IAmqpReceiver> amqpReceiver;
    std::mutex responsesLock;  // guards responses
    std::list<std::string> responses;
  };
  static ClassState& classState();

  static std::string closeAMQP();
  static std::string innerProcessing(const std::string& response);
  void login(const char* loginEmail, const char* password, const char* systemid);

  // The *Locked operations expect stateLock to be held by the caller.
  StatusPair connectSenderLocked(const char* qvHost, const char* qvLoginEmail, const char* qvPassword,
                                 const char* qvSystemId);
  StatusPair connectReceiverLocked(const char* qvHost, const char* qvLoginEmail, const char* qvSystemId);
  Interface::IAmqpSender& senderLocked() const;

  // Absent until the first Init; an absent argument stays absent.
  std::optional<std::string> qvHost;
  std::optional<std::string> qvLoginEmail;
  std::optional<std::string> qvPassword;
  std::optional<std::string> qvSystemId;
};

}  // namespace QvMT4Connector::Implementation
