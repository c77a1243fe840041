#include "FakeAmqp.h"

#include <stdexcept>
#include <thread>

#include "CallText.h"
#include "connector/implementation/QvMT4.h"
#include "connector/interface/FAmqpReceiver.h"
#include "connector/interface/FAmqpSender.h"

namespace QvMT4Connector::TestSupport {
namespace {
using Interface::IAmqpReceiver;
using Interface::IAmqpSender;
}  // namespace

// What both fakes share: the record the test reads, and the checks that catch unserialised use.
struct FakeAmqp::Object {
  Object(FakeAmqp& fake_, std::shared_ptr<Made> made_, const Script& script_)
      : fake(fake_), made(std::move(made_)), script(script_) {}
  ~Object() {
    std::lock_guard<std::mutex> g(fake.Lock());
    made->destroyed = true;
  }

  // Marks one call into this object. `uses` is deliberately unguarded, so ThreadSanitizer
  // reports any two calls that the core lets overlap; `inside` catches them in plain builds.
  class Use {
   public:
    explicit Use(const Object& o) : object(o) {
      if (object.inside.fetch_add(1) != 0) object.fake.Overlap();
      ++object.uses;
      std::this_thread::yield();
    }
    ~Use() { object.inside.fetch_sub(1); }

   private:
    const Object& object;
  };

  void Connect() {
    Use use(*this);
    std::lock_guard<std::mutex> g(fake.Lock());
    ++made->connects;
    if (!script.connectError.empty()) throw std::runtime_error(script.connectError);
    made->open = true;
  }
  void Close() {
    Use use(*this);
    std::lock_guard<std::mutex> g(fake.Lock());
    ++made->closes;
    made->open = false;
    if (!script.closeError.empty()) throw std::runtime_error(script.closeError);
  }
  bool IsOpen() const {
    Use use(*this);
    return openNow();
  }
  bool openNow() const {
    std::lock_guard<std::mutex> g(fake.Lock());
    return made->open;
  }

  FakeAmqp& fake;
  std::shared_ptr<Made> made;
  const Script script;
  mutable std::atomic<int> inside{0};
  mutable long uses = 0;
};

namespace {
class FakeSender : public IAmqpSender, FakeAmqp::Object {
 public:
  FakeSender(FakeAmqp& owner, std::shared_ptr<FakeAmqp::Made> record)
      : Object(owner, std::move(record), owner.sender), sendResult(owner.sendResult), sendError(owner.sendError) {}

  void Close() override { Object::Close(); }
  void Connect() override { Object::Connect(); }
  bool IsOpen() const override { return Object::IsOpen(); }

  std::string FormatOpenOrder(const char*, const char*, std::int32_t, const char*, std::int32_t, double, double,
                              double, double, const char*, const char*, const char*) const override {
    return "";
  }
  std::string FormatModifyOrder(const char*, const char*, const char*, std::int32_t, std::int32_t, double, double,
                                double, double, double, double, const char*, const char*) const override {
    return "";
  }

  void SendLogin(const char* loginEmail, const char* password, const char* systemid) override {
    send(CallText("SendLogin", loginEmail, password, systemid));
  }
  std::string SendOpenOrder(const char* loginEmail, const char* password, const char* systemid,
                            std::int32_t orderid, const char* symbol, std::int32_t cmd, double volume, double price,
                            double stoploss, double takeprofit, const char* timeStamp, const char* mt4OrderComment,
                            const char* reserve) override {
    return send(CallText("SendOpenOrder", loginEmail, password, systemid, orderid, symbol, cmd, volume, price, stoploss,
                     takeprofit, timeStamp, mt4OrderComment, reserve));
  }
  std::string SendCancelOrder(const char* loginEmail, const char* password, const char* systemid,
                              std::int32_t orderid, const char* mt4OrderComment, const char* reserve) override {
    return send(CallText("SendCancelOrder", loginEmail, password, systemid, orderid, mt4OrderComment, reserve));
  }
  std::string SendOrderClose(const char* loginEmail, const char* password, const char* systemid,
                             std::int32_t orderid, const char* symbol, std::int32_t cmd, double volume,
                             double closePrice, const char* mt4OrderComment, const char* reserve) override {
    return send(CallText("SendOrderClose", loginEmail, password, systemid, orderid, symbol, cmd, volume, closePrice,
                     mt4OrderComment, reserve));
  }
  std::string SendOrderModify(const char* loginEmail, const char* password, const char* systemid,
                              std::int32_t orderid, std::int32_t cmd, double oldPrice, double oldStoploss,
                              double oldProfitTarget, double newPrice, double newStoploss, double newProfitTarget,
                              const char* mt4OrderComment, const char* reserve) override {
    return send(CallText("SendOrderModify", loginEmail, password, systemid, orderid, cmd, oldPrice, oldStoploss,
                     oldProfitTarget, newPrice, newStoploss, newProfitTarget, mt4OrderComment, reserve));
  }
  void SendParamsRequest(const char* loginEmail, const char* password, const char* systemid,
                         double QvLotMultiplier, bool RoundDownLots, bool Ignore_MT4Stoploss,
                         bool Ignore_MT4TakeProfit, double SecondsBetweenPolling, bool SendOnlyMarketOrders,
                         bool LockToChartSymbol, bool ShowMessagesAsAlerts, bool TurnOnDebug,
                         const char* EA_Version) override {
    send(CallText("SendParamsRequest", loginEmail, password, systemid, QvLotMultiplier, RoundDownLots,
              Ignore_MT4Stoploss, Ignore_MT4TakeProfit, SecondsBetweenPolling, SendOnlyMarketOrders,
              LockToChartSymbol, ShowMessagesAsAlerts, TurnOnDebug, EA_Version));
  }
  void QvCancelAllPendingSignals(const char* loginEmail, const char* password) override {
    send(CallText("QvCancelAllPendingSignals", loginEmail, password));
  }

 private:
  std::string send(std::string what) {
    Use use(*this);
    fake.Record(std::move(what));
    if (!sendError.empty()) throw std::runtime_error(sendError);
    return sendResult;
  }

  const std::string sendResult;
  const std::string sendError;
};

class FakeReceiver : public IAmqpReceiver, FakeAmqp::Object {
 public:
  FakeReceiver(FakeAmqp& owner, std::shared_ptr<FakeAmqp::Made> record)
      : Object(owner, std::move(record), owner.receiver), dropsAfter(owner.receiverDropsAfter) {}

  void Close() override { Object::Close(); }
  void Connect() override { Object::Connect(); }
  bool IsOpen() const override { return Object::IsOpen(); }

  void getAmqpResponses(std::list<std::string>& responses) override {
    Use use(*this);
    if (!fake.drainError.empty()) throw std::runtime_error(fake.drainError);
    if (!openNow()) {
      responses.push_back("Fake receiver is not open.");
      return;
    }
    std::vector<std::string> replies;
    fake.Drain(replies);
    responses.insert(responses.end(), replies.begin(), replies.end());
    if (dropsAfter > 0 && ++drains >= dropsAfter) {
      std::lock_guard<std::mutex> g(fake.Lock());
      made->open = false;
    }
  }

 private:
  const int dropsAfter;
  int drains = 0;
};
}  // namespace

FakeAmqp::FakeAmqp() {
  Implementation::QvMT4::ResetForTesting();
  Interface::FAmqpSender::SetFactoryForTesting(
      [this](const char* host, std::int32_t port, const char* email, const char* password,
             const char* systemId) -> std::unique_ptr<IAmqpSender> {
        if (!sender.createError.empty()) throw std::runtime_error(sender.createError);
        if (sender.createNothing) return nullptr;
        auto made = std::make_shared<Made>();
        made->args = Joined("|", host, port, email, password, systemId);
        std::lock_guard<std::mutex> g(lock_);
        senders_.push_back(made);
        return std::make_unique<FakeSender>(*this, made);
      });
  Interface::FAmqpReceiver::SetFactoryForTesting(
      [this](const char* host, std::int32_t port, const char* vendorId,
             const char* systemId) -> std::unique_ptr<IAmqpReceiver> {
        if (!receiver.createError.empty()) throw std::runtime_error(receiver.createError);
        if (receiver.createNothing) return nullptr;
        auto made = std::make_shared<Made>();
        made->args = Joined("|", host, port, vendorId, systemId);
        std::lock_guard<std::mutex> g(lock_);
        receivers_.push_back(made);
        return std::make_unique<FakeReceiver>(*this, made);
      });
}

FakeAmqp::~FakeAmqp() {
  Implementation::QvMT4::ResetForTesting();
  Interface::FAmqpSender::SetFactoryForTesting(nullptr);
  Interface::FAmqpReceiver::SetFactoryForTesting(nullptr);
}

void FakeAmqp::Publish(const std::string& reply) {
  std::lock_guard<std::mutex> g(lock_);
  queue_.push_back(reply);
}

void FakeAmqp::DropReceivers() {
  std::lock_guard<std::mutex> g(lock_);
  for (auto& r : receivers_) r->open = false;
}

void FakeAmqp::Record(std::string what) {
  std::lock_guard<std::mutex> g(lock_);
  calls_.push_back(std::move(what));
}

void FakeAmqp::Drain(std::vector<std::string>& into) {
  std::lock_guard<std::mutex> g(lock_);
  into.assign(queue_.begin(), queue_.end());
  queue_.clear();
}

std::vector<std::string> FakeAmqp::Calls() const {
  std::lock_guard<std::mutex> g(lock_);
  return calls_;
}

namespace {
std::vector<FakeAmqp::Made> copies(const std::vector<std::shared_ptr<FakeAmqp::Made>>& made) {
  std::vector<FakeAmqp::Made> out;
  for (auto& m : made) out.push_back(*m);
  return out;
}
}  // namespace

std::vector<FakeAmqp::Made> FakeAmqp::Senders() const {
  std::lock_guard<std::mutex> g(lock_);
  return copies(senders_);
}

std::vector<FakeAmqp::Made> FakeAmqp::Receivers() const {
  std::lock_guard<std::mutex> g(lock_);
  return copies(receivers_);
}

}  // namespace QvMT4Connector::TestSupport
