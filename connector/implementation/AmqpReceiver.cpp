// The response receiver: the replies connection, the private queue and the drain.
#include "connector/implementation/AmqpReceiver.h"

#include <stdexcept>
#include <vector>

#include "amqp/Amqp.h"
#include "connector/Globals.h"
#include "connector/Utils.h"
#include "connector/interface/FLogger.h"
#include "platform/Platform.h"

namespace QvMT4Connector::Implementation {
namespace {
constexpr std::uint16_t kRepliesHeartbeat = 30;  // seconds; the sender asks for 31
constexpr char kNoChannel[] = "Error: Connection to Quorvex is broken. Quorvex responses receiver NOT CONNECTED.";
}  // namespace

std::shared_ptr<Interface::ILogger> AmqpReceiver::log;

AmqpReceiver::AmqpReceiver(const char* host_, std::int32_t port_, const char* qvLoginEmail, const char* systemId_)
    : host(host_ ? host_ : ""), port(port_) {
  channel.reset();
  log = Interface::FLogger::Create("Receiver");
  user = Utils::dcd(Globals::MT4User);
  password = Utils::dcd(Globals::MT4UserPassword);
  virtualHost = Utils::dcd(Globals::MT4ResponsesVirtualHost);
  exchange = Utils::dcd(Globals::MT4ReponsesExchange);

  const std::string systemId = systemId_ ? systemId_ : "";
  // A new identifier per receiver: every reconnection declares a queue of a new name.
  queueName = std::string(Globals::MT4ReponsesQueueNamePrefix) + "_" +
              Utils::convert_email_to_key(qvLoginEmail ? qvLoginEmail : "") + "_" + Platform::ComputerName() + "_" +
              systemId + "_" + Platform::NewUuid();
  bindingKey = "tsqv.response.human.*." + systemId;

  log->InfoFormat("Host:{0}, Port:{1}, QueueName:{2}, BindingKey:{3}", {host, port, queueName, bindingKey});
}
AmqpReceiver::~AmqpReceiver() = default;  // the connection closes with its last owner

void AmqpReceiver::Connect() {
  log->Debug("Connecting...");
  Amqp::ConnectionFactory factory;
  factory.HostName = Platform::AnsiToUtf8(host);
  factory.Port = port;
  factory.UserName = Platform::AnsiToUtf8(user);
  factory.Password = Platform::AnsiToUtf8(password);
  factory.VirtualHost = Platform::AnsiToUtf8(virtualHost);
  factory.RequestedHeartbeat = kRepliesHeartbeat;
  connection = factory.CreateConnection();
  log->DebugFormat("connection.IsOpen: {0}", connection->IsOpen());
  channel = connection->CreateModel();
  bind(*channel);
  log->DebugFormat("channel.IsOpen: {0}", channel->IsOpen());
}

void AmqpReceiver::bind(Amqp::Channel& ch) {
  const auto queue = Platform::AnsiToUtf8(queueName);
  ch.QueueDeclare(queue, false, true, true);
  ch.QueueBind(queue, Platform::AnsiToUtf8(exchange), Platform::AnsiToUtf8(bindingKey));
}

bool AmqpReceiver::IsOpen() const { return connection && channel && channel->IsOpen(); }

void AmqpReceiver::getAmqpResponses(std::list<std::string>& responses) {
  if (!channel) {
    responses.push_back(kNoChannel);
    return;
  }
  try {
    const auto queue = Platform::AnsiToUtf8(queueName);
    while (auto message = channel->BasicGet(queue, false)) {
      const auto& body = message->Body;
      responses.push_back(Utils::AsciiText(std::vector<std::uint8_t>(body.begin(), body.end())));
      channel->BasicAck(message->DeliveryTag, false);
    }
  } catch (const std::exception& e) {
    responses.push_back(e.what());
  }
}

void AmqpReceiver::Close() {
  log->Debug("Closing");
  if (!channel) throw std::runtime_error("The responses receiver has no channel to close.");
  try {
    channel->QueueDelete(Platform::AnsiToUtf8(queueName), false, false);
  } catch (const std::exception&) {
    // The failure (the channel is already gone, for one) goes to the caller; the connection is
    // closed all the same, so that neither it nor its service thread outlives the shutdown.
    connection->Abort();
    throw;
  }
  log->Debug("Queue deleted");
  try {
    if (channel->IsOpen()) {
      channel->Close();
      if (connection->IsOpen()) connection->Close();
    }
  } catch (const Amqp::AlreadyClosedException& e) {
    log->Warn("Close", e);
    return;
  }
  log->Debug("Closed");
}
}  // namespace QvMT4Connector::Implementation
