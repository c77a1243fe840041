// The messaging half of the signal sender: connecting, publishing with publisher confirms, the
// shutdown handling and closing.
#include "connector/implementation/AmqpSender.h"

#include <stdexcept>

#include "amqp/Amqp.h"
#include "connector/Globals.h"
#include "platform/Platform.h"

namespace QvMT4Connector::Implementation {

namespace {
constexpr std::uint16_t kSignalsHeartbeat = 31;  // seconds; the receiver asks for 30
}  // namespace

AmqpSender::~AmqpSender() {
  // The connection goes with the sender; its shutdown must not call back into a sender that is gone.
  dropConnection();
}

void AmqpSender::dropConnection() {
  if (!connection) return;
  connection->RemoveShutdownHandler(shutdownSubscription);
  if (connection->IsOpen()) log->Debug("Closing a connection that is still open");
  connection->Abort();
  connection.reset();
  channel.reset();
}

void AmqpSender::Connect() {
  log->Debug("Connecting...");
  Amqp::ConnectionFactory factory;
  factory.HostName = Platform::AnsiToUtf8(host);
  factory.UserName = Platform::AnsiToUtf8(user);
  factory.Password = Platform::AnsiToUtf8(amqpPassword);
  factory.VirtualHost = Platform::AnsiToUtf8(virtualHost);
  factory.RequestedHeartbeat = kSignalsHeartbeat;
  // The port stays the AMQP default, 5672, whatever `port` holds.
  auto opened = factory.CreateConnection();

  dropConnection();
  connection = std::move(opened);
  log->DebugFormat("connection.IsOpen: {0}", connection->IsOpen());
  shutdownSubscription = connection->AddShutdownHandler(
      [this](Amqp::Connection& c, const Amqp::ShutdownEventArgs& reason) { connection_ConnectionShutdown(c, reason); });
  channel = connection->CreateModel();
  // Every publication waits for the broker's ack, so "OK" means the broker has the message.
  channel->ConfirmSelect();
  basicProperties = channel->CreateBasicProperties();
  log->DebugFormat("channel.IsOpen: {0}", channel->IsOpen());
  closed = false;
  reconnect = false;
}

bool AmqpSender::IsOpen() const { return connection && channel && channel->IsOpen(); }

std::string AmqpSender::publish(const std::string& binding_key, const std::string& payload) {
  const auto exchangeName = Platform::AnsiToUtf8(exchange);
  const auto routingKey = Platform::AnsiToUtf8(binding_key);
  const auto once = [&]() -> std::string {
    try {
      if (closed) throw std::runtime_error("The signals sender is closed; nothing was published.");
      channel->BasicPublish(exchangeName, routingKey, false, basicProperties, payload);
      return Globals::OK;
    } catch (const Amqp::AlreadyClosedException&) {
      throw;
    } catch (const std::exception& e) {
      log->Fatal(binding_key, e);
      return e.what();
    }
  };

  // A sender that never connected, lost its channel or was broken reconnects first; an error of the
  // reconnection leaves this publication (and `reconnect` stays set for the next one).
  if (!closed && (reconnect || !IsOpen())) Connect();
  try {
    return once();
  } catch (const Amqp::AlreadyClosedException&) {
    // The broker had closed the channel or the connection before this publication began (the close
    // was still on its way): nothing was sent, so reconnect and publish once more.
    Connect();
  }
  try {
    return once();
  } catch (const Amqp::AlreadyClosedException& e) {
    log->Fatal(binding_key, e);
    return e.what();
  }
}

void AmqpSender::connection_ConnectionShutdown(Amqp::Connection& c, const Amqp::ShutdownEventArgs& reason) {
  c.RemoveShutdownHandler(shutdownSubscription);
  const auto why = reason.ToString();
  switch (reason.ReplyCode) {
    case Amqp::ReplyCodes::ReplySuccess:
      log->InfoFormat("Shutdown OK: sender to exchange: {0}, Why: {1}", exchange, why);
      reconnect = false;
      break;
    case Amqp::ReplyCodes::ConnectionForced:
    case Amqp::ReplyCodes::ChannelError:
    case Amqp::ReplyCodes::ResourceError:
    case Amqp::ReplyCodes::InternalError:
      log->ErrorFormat("Shutdown due an error. Sender to exchange: {0} Why: {1}", exchange, why);
      reconnect = true;
      break;
    default:
      log->FatalFormat("Unknown reason. Shutdown of sender to the exchange: {0} Why: {1}", exchange, why);
      reconnect = true;
      break;
  }
}

void AmqpSender::Close() {
  log->Debug("Closing");
  closed = true;
  try {
    if (!channel) throw std::runtime_error("The signals sender has no connection to close.");
    if (channel->IsOpen()) channel->Close();
    // Also a connection whose channel the broker closed: it would otherwise stay open with its thread.
    if (connection->IsOpen()) connection->Close();
    log->Debug("Closed");
  } catch (const Amqp::AlreadyClosedException& e) {
    log->Warn("Close", e);
  }
}

// --- Send operations: text, log line, ASCII bytes, publication ---------------------------------

void AmqpSender::SendLogin(const char* loginEmail, const char* password, const char* systemid) {
  const auto text = FormatLogin(loginEmail, password, systemid);
  log->InfoFormat("Login: {0}", text);
  const auto result = publish(routing_key, Platform::AnsiToAscii(text));
  log->InfoFormat("Login result: {0}", result);
}

std::string AmqpSender::SendOpenOrder(const char*, const char* password, const char* systemid, std::int32_t orderid,
                                      const char* symbol, std::int32_t cmd, double volume, double price,
                                      double stoploss, double takeprofit, const char* timeStamp,
                                      const char* mt4OrderComment, const char* reserve) {
  return sendText(FormatOpenOrder(password, systemid, orderid, symbol, cmd, volume, price, stoploss, takeprofit,
                                  timeStamp, mt4OrderComment, reserve));
}

std::string AmqpSender::SendCancelOrder(const char*, const char* password, const char* systemid, std::int32_t orderid,
                                        const char* mt4OrderComment, const char* reserve) {
  return sendText(FormatCancelOpen(password, systemid, orderid, mt4OrderComment, reserve));
}

std::string AmqpSender::SendOrderClose(const char*, const char* password, const char* systemid, std::int32_t orderid,
                                       const char* symbol, std::int32_t cmd, double volume, double closePrice,
                                       const char* mt4OrderComment, const char* reserve) {
  return sendText(
      FormatCloseOrder(password, systemid, orderid, symbol, cmd, volume, closePrice, mt4OrderComment, reserve));
}

std::string AmqpSender::SendOrderModify(const char* loginEmail, const char* password, const char* systemid,
                                        std::int32_t orderid, std::int32_t cmd, double oldPrice, double oldStoploss,
                                        double oldProfitTarget, double newPrice, double newStoploss,
                                        double newProfitTarget, const char* mt4OrderComment, const char* reserve) {
  return sendText(FormatModifyOrder(loginEmail, password, systemid, orderid, cmd, oldPrice, oldStoploss,
                                    oldProfitTarget, newPrice, newStoploss, newProfitTarget, mt4OrderComment,
                                    reserve));
}

void AmqpSender::SendParamsRequest(const char* loginEmail, const char* password, const char* systemid,
                                   double QvLotMultiplier, bool RoundDownLots, bool Ignore_MT4Stoploss,
                                   bool Ignore_MT4TakeProfit, double SecondsBetweenPolling, bool SendOnlyMarketOrders,
                                   bool LockToChartSymbol, bool ShowMessagesAsAlerts, bool TurnOnDebug,
                                   const char* EA_Version) {
  sendText(FormatParamsRequest(loginEmail, password, systemid, QvLotMultiplier, RoundDownLots, Ignore_MT4Stoploss,
                               Ignore_MT4TakeProfit, SecondsBetweenPolling, SendOnlyMarketOrders, LockToChartSymbol,
                               ShowMessagesAsAlerts, TurnOnDebug, EA_Version));
}

void AmqpSender::QvCancelAllPendingSignals(const char*, const char*) {
  const auto text = FormatCancelAllPendingSignals();
  log->DebugFormat("Sending: {0}", text);  // Debug, where the other kinds log at Info
  publish(routing_key, Platform::AnsiToAscii(text));
}

std::string AmqpSender::sendText(const std::string& text) {
  log->InfoFormat("Sending: {0}", text);
  return publish(routing_key, Platform::AnsiToAscii(text));
}

}  // namespace QvMT4Connector::Implementation
