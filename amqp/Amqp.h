#pragma once
// A small AMQP 0-9-1 client over rabbitmq-c, shaped like the common object clients: a connection
// factory, connections and channels with open states and a shutdown notification, and error kinds.
//
// rabbitmq-c is single-threaded and only acts while one of its calls runs, so every connection has
// one service thread that keeps it alive while its owner is idle: it sends and checks heartbeats,
// answers a broker's connection.close and channel.close, and notices a lost socket. Every use of the
// rabbitmq-c state, from that thread or from callers, is serialised by one lock per connection.
// Time limits: opening a connection (TCP connect plus the AMQP handshake) 30 s, each broker round trip
// (a method and its reply, or a publication and its confirm) 20 s; both can be changed on the factory.
// A round trip that runs out of time aborts the connection, as its protocol state is then unknown.
// The service thread ends when the connection closes and is joined by Close, Abort or the destructor.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace QvMT4Connector::Amqp {

enum class ShutdownInitiator { Application, Library, Peer };

// Why a connection or a channel closed.
struct ShutdownEventArgs {
  ShutdownInitiator Initiator = ShutdownInitiator::Library;
  std::uint16_t ReplyCode = 0;
  std::string ReplyText;
  std::uint16_t ClassId = 0;
  std::uint16_t MethodId = 0;
  std::string Cause;  // what the library saw, for closes it noticed itself; empty otherwise

  // "AMQP close-reason, initiated by Peer, code=320, text='CONNECTION_FORCED - ...', classId=0, methodId=0"
  std::string ToString() const;
};

// Reply codes of AMQP 0-9-1 that callers tell apart.
namespace ReplyCodes {
constexpr std::uint16_t ReplySuccess = 200;
constexpr std::uint16_t ConnectionForced = 320;
constexpr std::uint16_t NotFound = 404;
constexpr std::uint16_t ChannelError = 504;
constexpr std::uint16_t UnexpectedFrame = 505;
constexpr std::uint16_t ResourceError = 506;
constexpr std::uint16_t InternalError = 541;  // also used for closes the library noticed itself
}  // namespace ReplyCodes

// Base of every error of this layer.
class AmqpException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// An operation on a channel or connection that was already closed when the operation began.
class AlreadyClosedException : public AmqpException {
 public:
  explicit AlreadyClosedException(ShutdownEventArgs reason);
  const ShutdownEventArgs& ShutdownReason() const { return reason_; }

 private:
  ShutdownEventArgs reason_;
};

// An operation cut off by the close of its channel or connection, or by its time limit.
class OperationInterruptedException : public AmqpException {
 public:
  explicit OperationInterruptedException(ShutdownEventArgs reason);
  const ShutdownEventArgs& ShutdownReason() const { return reason_; }

 private:
  ShutdownEventArgs reason_;
};

// Basic properties of a message. Only empty properties are sent: this system sets none.
struct BasicProperties {};

struct BasicGetResult {
  std::uint64_t DeliveryTag = 0;
  bool Redelivered = false;
  std::string Exchange;
  std::string RoutingKey;
  std::uint32_t MessageCount = 0;  // messages left in the queue
  std::uint16_t PropertyFlags = 0; // flags of the content header; 0 for empty properties
  std::string Body;
};

struct QueueDeclareOk {
  std::string QueueName;
  std::uint32_t MessageCount = 0;
  std::uint32_t ConsumerCount = 0;
};

class Connection;
class ConnectionCore;
struct ChannelState;

class Channel {
 public:
  ~Channel();
  Channel(const Channel&) = delete;
  Channel& operator=(const Channel&) = delete;

  bool IsOpen() const;
  std::optional<ShutdownEventArgs> CloseReason() const;
  std::uint16_t ChannelNumber() const;

  BasicProperties CreateBasicProperties() const { return {}; }

  // Puts the channel into publisher-confirm mode: every later BasicPublish waits for the broker's ack.
  void ConfirmSelect();
  // Without confirm mode this only writes the message. In confirm mode it returns once the broker
  // acked it; a nack, the close of the channel or the round-trip limit raise an error.
  void BasicPublish(std::string_view exchange, std::string_view routingKey, bool mandatory,
                    const BasicProperties& properties, std::string_view body);

  void ExchangeDeclare(std::string_view exchange, std::string_view type, bool durable, bool autoDelete);
  void ExchangeDelete(std::string_view exchange, bool ifUnused);
  // An empty name lets the broker choose one; the reply carries it.
  QueueDeclareOk QueueDeclare(std::string_view queue, bool durable, bool exclusive, bool autoDelete);
  void QueueBind(std::string_view queue, std::string_view exchange, std::string_view routingKey);
  std::uint32_t QueueDelete(std::string_view queue, bool ifUnused, bool ifEmpty);
  std::uint32_t QueuePurge(std::string_view queue);

  // Empty when the queue had no message.
  std::optional<BasicGetResult> BasicGet(std::string_view queue, bool autoAck);
  void BasicAck(std::uint64_t deliveryTag, bool multiple);

  // Orderly close (reply code 200). Throws AlreadyClosedException when the channel is closed.
  void Close();

 private:
  friend class ConnectionCore;
  friend class Connection;
  Channel(std::shared_ptr<ConnectionCore> core, std::shared_ptr<ChannelState> state);
  std::shared_ptr<ConnectionCore> core_;
  std::shared_ptr<ChannelState> state_;
};

class Connection {
 public:
  using ShutdownHandler = std::function<void(Connection& connection, const ShutdownEventArgs& reason)>;

  ~Connection();  // aborts the connection if open and joins its service thread
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  bool IsOpen() const;
  std::optional<ShutdownEventArgs> CloseReason() const;
  std::uint16_t Heartbeat() const;  // negotiated interval in seconds, 0 = none
  int LocalPort() const;            // port of the client side of the socket, for diagnostics

  std::shared_ptr<Channel> CreateModel();

  // The handler runs once, on the thread that noticed the shutdown: the caller's own thread for a
  // close it asked for or ran into, the service thread otherwise. A handler added after the shutdown
  // never runs. Handlers may remove themselves while running.
  int AddShutdownHandler(ShutdownHandler handler);
  // After it returns the handler is not running (unless called from the handler itself).
  void RemoveShutdownHandler(int id);

  // Orderly close (reply code 200). Throws AlreadyClosedException when the connection is closed.
  void Close();
  // Closes without raising, whatever the state; for clean-up paths.
  void Abort();

 private:
  friend class ConnectionFactory;
  explicit Connection(std::shared_ptr<ConnectionCore> core);
  std::shared_ptr<ConnectionCore> core_;
};

struct ConnectionFactory {
  std::string HostName = "localhost";
  int Port = 5672;
  std::string UserName = "guest";
  std::string Password = "guest";
  std::string VirtualHost = "/";
  std::uint16_t RequestedHeartbeat = 60;  // seconds; 0 asks for none
  std::chrono::milliseconds RequestedConnectionTimeout{30000};
  std::chrono::milliseconds ContinuationTimeout{20000};  // per round trip

  // Plain TCP, SASL PLAIN. Throws AmqpException (with the broker's reason where it gave one).
  std::shared_ptr<Connection> CreateConnection() const;
};

}  // namespace QvMT4Connector::Amqp
