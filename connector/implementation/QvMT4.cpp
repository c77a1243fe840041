#include "connector/implementation/QvMT4.h"

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <utility>

#include "connector/Globals.h"
#include "connector/interface/FAmqpReceiver.h"
#include "connector/interface/FAmqpSender.h"
#include "connector/interface/FLogger.h"

namespace QvMT4Connector::Implementation {
using Interface::ILogger;
using Interface::LogValue;

namespace {
constexpr char kCloseTrigger[] = "MT4002";

std::optional<std::string> copyText(const char* text) {
  if (text == nullptr) return std::nullopt;
  return std::string(text);
}

const char* textOf(const std::optional<std::string>& text) { return text ? text->c_str() : nullptr; }

// What tells the sender's connection step from the receiver's; the steps are the same.
struct ConnectTexts {
  const char* member;       // the member's name in log lines
  const char* connected;    // message of the success pair
  const char* notConnected; // message of the pair for a missing object, and prefix of a failure
  const char* fatalFormat;
};

constexpr ConnectTexts kSenderTexts{"amqpSender", Globals::SENDER_CONNECTED, Globals::SENDER_ERROR,
                                    "Init amqpSender result: {0} "};
constexpr ConnectTexts kReceiverTexts{"amqpReceiver", Globals::RECEIVER_CONNECTED, Globals::RECEIVER_ERROR,
                                      "Init amqpReceiver result: {0} "};

// A replaced sender or receiver still holds its broker connection; close it so none leaks.
// Its failures (often just "already closed") do not concern the caller.
template <class Member>
void closeReplaced(ILogger& log, Member& old, const char* name) {
  try {
    old.Close();
  } catch (const std::exception& e) {
    log.DebugFormat("Closing the replaced {0} failed: {1}", name, e.what());
  }
}

// Makes the object, stores it at once, connects it, and reports the outcome as a status pair.
template <class Member, class Make>
QvMT4::StatusPair connectMember(ILogger& log, std::unique_ptr<Member>& member, const ConnectTexts& texts,
                                Make make) {
  QvMT4::StatusPair pair;
  log.Debug(std::string("Init ") + texts.member + "...");
  try {
    auto made = make();
    if (made) {
      if (member) closeReplaced(log, *member, texts.member);
      member = std::move(made);
      member->Connect();
      pair = {Globals::OK, texts.connected};
    } else {
      // A factory that answers with nothing leaves the previous object in place, unused.
      pair = {Globals::Error, texts.notConnected};
    }
  } catch (const std::exception& e) {
    const std::string reason = e.what();
    pair = {Globals::Error, reason.empty() ? std::string(texts.notConnected)
                                           : std::string(texts.notConnected) + " Error: " + reason};
    log.FatalFormat(texts.fatalFormat, pair[1]);
    return pair;
  }
  log.Debug(pair[0]);
  log.Debug(pair[1]);
  return pair;
}
}  // namespace

QvMT4::ClassState& QvMT4::classState() {
  static ClassState* state = [] {
    auto* s = new ClassState;
    s->log = Interface::FLogger::Create("QvMT4");
    return s;
  }();
  return *state;
}

QvMT4::QvMT4() { classState(); }

std::string QvMT4::Init(const char* qvHost_, const char* qvLoginEmail_, const char* qvPassword_,
                        const char* qvSystemId_, double qvlotMultiplier, const char* mt4ExpertVersion) {
  ClassState& cs = classState();
  std::lock_guard<std::mutex> state(cs.stateLock);
  qvHost = copyText(qvHost_);
  qvLoginEmail = copyText(qvLoginEmail_);
  qvPassword = copyText(qvPassword_);
  qvSystemId = copyText(qvSystemId_);

  cs.log->InfoFormat(
      "QvMT4 init: MT4 EA Version={4}, QvHost={5}, QvLoginEmail={0}, QvPassword={1}, QvSystemId={2}, "
      "QvlotMultiplier={3}",
      {qvLoginEmail_, "***", qvSystemId_, qvlotMultiplier, mt4ExpertVersion, qvHost_});

  const StatusPair s = connectSenderLocked(qvHost_, qvLoginEmail_, qvPassword_, qvSystemId_);
  const StatusPair r = connectReceiverLocked(qvHost_, qvLoginEmail_, qvSystemId_);
  if (s[0] == Globals::OK && r[0] == Globals::OK) {
    cs.log->Info("Send a login request to Quorvex.");
    login(qvLoginEmail_, qvPassword_, qvSystemId_);
    return "ok";
  }
  return s[1] + " | " + r[1];
}

QvMT4::StatusPair QvMT4::ConnectSender(const char* qvHost_, const char* qvLoginEmail_, const char* qvPassword_,
                                       const char* qvSystemId_) {
  std::lock_guard<std::mutex> state(classState().stateLock);
  return connectSenderLocked(qvHost_, qvLoginEmail_, qvPassword_, qvSystemId_);
}

QvMT4::StatusPair QvMT4::ConnectReceiver(const char* qvHost_, const char* qvLoginEmail_, const char*,
                                         const char* qvSystemId_) {
  std::lock_guard<std::mutex> state(classState().stateLock);
  return connectReceiverLocked(qvHost_, qvLoginEmail_, qvSystemId_);
}

QvMT4::StatusPair QvMT4::connectSenderLocked(const char* qvHost_, const char* qvLoginEmail_,
                                             const char* qvPassword_, const char* qvSystemId_) {
  ClassState& cs = classState();
  return connectMember(*cs.log, cs.amqpSender, kSenderTexts, [&] {
    return Interface::FAmqpSender::Create(qvHost_, Globals::QvAmqpPort, qvLoginEmail_, qvPassword_, qvSystemId_);
  });
}

QvMT4::StatusPair QvMT4::connectReceiverLocked(const char* qvHost_, const char* qvLoginEmail_,
                                               const char* qvSystemId_) {
  ClassState& cs = classState();
  return connectMember(*cs.log, cs.amqpReceiver, kReceiverTexts, [&] {
    return Interface::FAmqpReceiver::Create(qvHost_, Globals::QvAmqpPort, qvLoginEmail_, qvSystemId_);
  });
}

void QvMT4::login(const char* loginEmail, const char* password, const char* systemid) {
  // The result of Init does not depend on the login message; a failure is only logged.
  try {
    senderLocked().SendLogin(loginEmail, password, systemid);
  } catch (const std::exception& e) {
    classState().log->ErrorFormat("login: {0}", e.what());
  }
}

std::string QvMT4::DeInit() { return closeAMQP(); }

std::string QvMT4::closeAMQP() {
  ClassState& cs = classState();
  std::lock_guard<std::mutex> state(cs.stateLock);
  try {
    if (cs.amqpSender) cs.amqpSender->Close();
    if (cs.amqpReceiver) cs.amqpReceiver->Close();
  } catch (const std::exception& e) {
    return e.what();
  }
  return Globals::OK;
}

std::int32_t QvMT4::QvReadResponses() {
  ClassState& cs = classState();
  std::lock_guard<std::mutex> state(cs.stateLock);
  if (!cs.amqpReceiver) return Globals::RESPONSE_ERROR;
  try {
    StatusPair pair;
    if (!cs.amqpReceiver->IsOpen()) {
      pair = connectReceiverLocked(textOf(qvHost), textOf(qvLoginEmail), textOf(qvSystemId));
    }
    std::size_t waiting = 0;
    {
      std::lock_guard<std::mutex> replies(cs.responsesLock);
      if (!pair[0].empty()) cs.responses.push_back(pair[1]);
      cs.amqpReceiver->getAmqpResponses(cs.responses);
      waiting = cs.responses.size();
    }
    return static_cast<std::int32_t>(
        std::min<std::size_t>(waiting, static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())));
  } catch (const std::exception& e) {
    cs.log->FatalFormat("QvReadResponses: {0} ", e.what());
    return Globals::RESPONSE_ERROR;
  }
}

std::string QvMT4::QvNextResponse() {
  ClassState& cs = classState();
  {
    std::lock_guard<std::mutex> state(cs.stateLock);
    if (!cs.amqpReceiver) return Globals::Error;
  }
  std::optional<std::string> taken;
  {
    std::lock_guard<std::mutex> replies(cs.responsesLock);
    if (!cs.responses.empty()) {
      taken = std::move(cs.responses.front());
      cs.responses.pop_front();
    }
  }
  if (!taken) return "";
  // Outside both locks: closing takes the state lock itself.
  innerProcessing(*taken);
  return *taken;
}

std::string QvMT4::innerProcessing(const std::string& response) {
  if (response.compare(0, sizeof(kCloseTrigger) - 1, kCloseTrigger) != 0) return "";
  const std::string closed = closeAMQP();
  // The reply goes to the Expert Advisor whatever closing did; the failure is only logged.
  if (closed != Globals::OK) classState().log->ErrorFormat("Closing after an MT4002 reply failed: {0}", closed);
  return response;
}

Interface::IAmqpSender& QvMT4::senderLocked() const {
  ClassState& cs = classState();
  if (!cs.amqpSender) throw std::runtime_error("No Quorvex signals sender: QvInit has not made one.");
  return *cs.amqpSender;
}

std::string QvMT4::QvOrderOpen(const char* loginEmail, const char* password, const char* systemid,
                               std::int32_t orderid, const char* symbol, std::int32_t cmd, double volume,
                               double price, double stoploss, double takeprofit, const char* timeStamp,
                               const char* mt4OrderComment, const char* reserve) {
  std::lock_guard<std::mutex> state(classState().stateLock);
  return senderLocked().SendOpenOrder(loginEmail, password, systemid, orderid, symbol, cmd, volume, price, stoploss,
                                      takeprofit, timeStamp, mt4OrderComment, reserve);
}

std::string QvMT4::QvOrderCancel(const char* loginEmail, const char* password, const char* systemid,
                                 std::int32_t orderid, const char* mt4OrderComment, const char* reserve) {
  std::lock_guard<std::mutex> state(classState().stateLock);
  return senderLocked().SendCancelOrder(loginEmail, password, systemid, orderid, mt4OrderComment, reserve);
}

std::string QvMT4::QvOrderClose(const char* loginEmail, const char* password, const char* systemid,
                                std::int32_t orderid, const char* symbol, std::int32_t cmd, double volume,
                                double closePrice, const char* mt4OrderComment, const char* reserve) {
  std::lock_guard<std::mutex> state(classState().stateLock);
  return senderLocked().SendOrderClose(loginEmail, password, systemid, orderid, symbol, cmd, volume, closePrice,
                                       mt4OrderComment, reserve);
}

std::string QvMT4::QvOrderModify(const char* loginEmail, const char* password, const char* systemid,
                                 std::int32_t orderid, std::int32_t cmd, double oldPrice, double oldStoploss,
                                 double oldProfitTarget, double newPrice, double newStoploss,
                                 double newProfitTarget, const char* mt4OrderComment, const char* reserve) {
  std::lock_guard<std::mutex> state(classState().stateLock);
  return senderLocked().SendOrderModify(loginEmail, password, systemid, orderid, cmd, oldPrice, oldStoploss,
                                        oldProfitTarget, newPrice, newStoploss, newProfitTarget, mt4OrderComment,
                                        reserve);
}

void QvMT4::ParamsRequest(const char* loginEmail, const char* password, const char* systemid,
                          double QvLotMultiplier, bool RoundDownLots, bool Ignore_MT4Stoploss,
                          bool Ignore_MT4TakeProfit, double SecondsBetweenPolling, bool SendOnlyMarketOrders,
                          bool LockToChartSymbol, bool ShowMessagesAsAlerts, bool TurnOnDebug,
                          const char* EA_Version) {
  ClassState& cs = classState();
  // The password stays out of the log, as in the start-up line.
  cs.log->DebugFormat("ParamsRequest {0} {1} {2}", loginEmail, "***", systemid);
  std::lock_guard<std::mutex> state(cs.stateLock);
  senderLocked().SendParamsRequest(loginEmail, password, systemid, QvLotMultiplier, RoundDownLots,
                                   Ignore_MT4Stoploss, Ignore_MT4TakeProfit, SecondsBetweenPolling,
                                   SendOnlyMarketOrders, LockToChartSymbol, ShowMessagesAsAlerts, TurnOnDebug,
                                   EA_Version);
}

void QvMT4::QvCancelAllPendingSignals(const char* loginEmail, const char* password) {
  std::lock_guard<std::mutex> state(classState().stateLock);
  senderLocked().QvCancelAllPendingSignals(loginEmail, password);
}

void QvMT4::ResetForTesting() {
  ClassState& cs = classState();
  std::lock_guard<std::mutex> state(cs.stateLock);
  cs.amqpSender.reset();
  cs.amqpReceiver.reset();
  std::lock_guard<std::mutex> replies(cs.responsesLock);
  cs.responses.clear();
}

}  // namespace QvMT4Connector::Implementation
