// The connection core: the rabbitmq-c state, its lock, the frame dispatcher and the service thread.
#include <amqp.h>
#include <amqp_tcp_socket.h>

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <initializer_list>
#include <map>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "amqp/Amqp.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netinet/in.h>
#include <sys/socket.h>
#endif

namespace QvMT4Connector::Amqp {

namespace {
using Clock = std::chrono::steady_clock;

// How often the service thread looks at an idle connection: well inside the shortest heartbeat
// interval, and the longest a broker's close can wait to be noticed while the owner is idle.
constexpr std::chrono::milliseconds kServiceTick{50};

amqp_bytes_t Bytes(std::string_view s) {
  amqp_bytes_t b;
  b.len = s.size();
  b.bytes = const_cast<char*>(s.data());
  return b;
}

std::string Text(amqp_bytes_t b) { return std::string(static_cast<const char*>(b.bytes), b.len); }

timeval ToTimeval(std::chrono::nanoseconds d) {
  if (d.count() < 0) d = std::chrono::nanoseconds(0);
  const auto us = std::chrono::duration_cast<std::chrono::microseconds>(d).count();
  timeval tv;
  tv.tv_sec = static_cast<decltype(tv.tv_sec)>(us / 1000000);
  tv.tv_usec = static_cast<decltype(tv.tv_usec)>(us % 1000000);
  return tv;
}

// Statuses after which the socket cannot be trusted any more.
bool IsTransportFailure(int status) {
  switch (status) {
    case AMQP_STATUS_CONNECTION_CLOSED:
    case AMQP_STATUS_SOCKET_ERROR:
    case AMQP_STATUS_SOCKET_CLOSED:
    case AMQP_STATUS_HEARTBEAT_TIMEOUT:
    case AMQP_STATUS_TIMEOUT:
    case AMQP_STATUS_TCP_ERROR:
    case AMQP_STATUS_BAD_AMQP_DATA:
    case AMQP_STATUS_UNEXPECTED_STATE:
    case AMQP_STATUS_SSL_ERROR:
      return true;
    default:
      return false;
  }
}

ShutdownEventArgs CloseArgs(ShutdownInitiator initiator, std::uint16_t code, amqp_bytes_t text, std::uint16_t classId,
                            std::uint16_t methodId) {
  ShutdownEventArgs r;
  r.Initiator = initiator;
  r.ReplyCode = code;
  r.ReplyText = Text(text);
  r.ClassId = classId;
  r.MethodId = methodId;
  return r;
}

ShutdownEventArgs LibraryClose(std::string text, std::string cause) {
  ShutdownEventArgs r;
  r.Initiator = ShutdownInitiator::Library;
  r.ReplyCode = ReplyCodes::InternalError;
  r.ReplyText = std::move(text);
  r.Cause = std::move(cause);
  return r;
}

ShutdownEventArgs ApplicationClose() {
  ShutdownEventArgs r;
  r.Initiator = ShutdownInitiator::Application;
  r.ReplyCode = ReplyCodes::ReplySuccess;
  r.ReplyText = "Goodbye";
  return r;
}

const char* InitiatorName(ShutdownInitiator i) {
  switch (i) {
    case ShutdownInitiator::Application:
      return "Application";
    case ShutdownInitiator::Peer:
      return "Peer";
    case ShutdownInitiator::Library:
      break;
  }
  return "Library";
}
}  // namespace

std::string ShutdownEventArgs::ToString() const {
  std::string s = "AMQP close-reason, initiated by ";
  s += InitiatorName(Initiator);
  s += ", code=" + std::to_string(ReplyCode) + ", text='" + ReplyText + "', classId=" + std::to_string(ClassId) +
       ", methodId=" + std::to_string(MethodId);
  if (!Cause.empty()) s += ", cause=" + Cause;
  return s;
}

AlreadyClosedException::AlreadyClosedException(ShutdownEventArgs reason)
    : AmqpException("Already closed: The AMQP operation was interrupted: " + reason.ToString()),
      reason_(std::move(reason)) {}

OperationInterruptedException::OperationInterruptedException(ShutdownEventArgs reason)
    : AmqpException("The AMQP operation was interrupted: " + reason.ToString()), reason_(std::move(reason)) {}

// State of one channel. Fields without a note are guarded by the connection's io lock.
struct ChannelState {
  explicit ChannelState(amqp_channel_t channelId) : id(channelId) {}
  const amqp_channel_t id;
  std::atomic<bool> open{false};
  std::optional<ShutdownEventArgs> closeReason;  // guarded by the connection's state lock

  // The round trip in progress: the replies it waits for and the one that came.
  std::vector<amqp_method_number_t> expected;
  std::optional<amqp_method_t> reply;

  // Publisher confirms: delivery tag -> 0 waiting, 1 acked, 2 nacked.
  bool confirmMode = false;
  std::uint64_t publishSeq = 0;
  std::map<std::uint64_t, int> confirms;

  // A message being assembled from its method, header and body frames.
  bool receiving = false;
  bool keep = false;  // a basic.get-ok answer rather than a delivery nobody asked for
  std::uint64_t bodyLeft = 0;
  BasicGetResult incoming;
  std::optional<BasicGetResult> got;
};

class ConnectionCore : public std::enable_shared_from_this<ConnectionCore> {
 public:
  ConnectionCore(std::chrono::milliseconds rpcTimeout) : rpcTimeout_(rpcTimeout) {}
  ~ConnectionCore() {
    stopService();
    if (conn_) amqp_destroy_connection(conn_);
  }

  void open(const ConnectionFactory& f);
  void startService() {
    auto self = shared_from_this();
    service_ = std::thread([self] { self->serviceLoop(); });
  }

  bool isOpen() const { return open_.load(); }
  std::optional<ShutdownEventArgs> closeReason() const {
    std::lock_guard<std::mutex> g(stateLock_);
    return closeReason_;
  }
  std::optional<ShutdownEventArgs> channelCloseReason(const ChannelState& ch) const {
    std::lock_guard<std::mutex> g(stateLock_);
    return ch.closeReason;
  }
  std::uint16_t heartbeat() const { return heartbeat_; }
  int localPort() const { return localPort_; }

  // Runs f under the io lock; a shutdown that f ran into is announced after the lock is released.
  template <class F>
  auto withIo(F&& f) -> decltype(f()) {
    struct Announce {
      ConnectionCore& core;
      ~Announce() {
        if (!core.isOpen()) core.announceShutdown();
      }
    } announce{*this};
    std::lock_guard<std::mutex> g(io_);
    struct Release {
      ConnectionCore& core;
      ~Release() {
        if (core.conn_) amqp_maybe_release_buffers(core.conn_);
      }
    } release{*this};
    return f();
  }

  // --- under the io lock -------------------------------------------------------
  std::shared_ptr<ChannelState> openChannelLocked();
  void requireOpenLocked(const ChannelState& ch) {
    if (!open_) throw AlreadyClosedException(*closeReason());
    pumpLocked();
    if (!open_) throw AlreadyClosedException(*closeReason());
    if (!ch.open) throw AlreadyClosedException(channelCloseReason(ch).value_or(ApplicationClose()));
  }
  amqp_method_t rpcLocked(ChannelState& ch, amqp_method_number_t method, void* args,
                          std::initializer_list<amqp_method_number_t> replies, const char* what);
  void sendLocked(ChannelState& ch, amqp_method_number_t method, void* args);
  void publishLocked(ChannelState& ch, std::string_view exchange, std::string_view routingKey, bool mandatory,
                     std::string_view body);
  std::optional<BasicGetResult> getLocked(ChannelState& ch, std::string_view queue, bool autoAck);
  void closeChannelLocked(ChannelState& ch);
  void closeLocked();
  void abortLocked();

  // --- shutdown handlers -------------------------------------------------------------
  int addHandler(Connection::ShutdownHandler h) {
    std::lock_guard<std::mutex> g(handlersLock_);
    handlers_.emplace(++lastHandler_, std::move(h));
    return lastHandler_;
  }
  // Once this returns the handler is not running, unless it is the caller itself.
  void removeHandler(int id) {
    std::unique_lock<std::mutex> g(handlersLock_);
    handlers_.erase(id);
    if (announcing_ && announcer_ != std::this_thread::get_id()) announced_.wait(g, [&] { return announceDone_; });
  }
  void setOwner(Connection* owner) {
    std::lock_guard<std::mutex> g(handlersLock_);
    owner_ = owner;
  }
  void announceShutdown();
  void stopService();

 private:
  [[noreturn]] void interruptedLocked(const ChannelState& ch) {
    if (!open_) throw OperationInterruptedException(*closeReason());
    throw OperationInterruptedException(channelCloseReason(ch).value_or(ApplicationClose()));
  }
  void pumpLocked();
  template <class Done>
  void waitLocked(Done done, const char* what);
  void dispatchLocked(const amqp_frame_t& frame);
  void markClosedLocked(ShutdownEventArgs reason);
  void markChannelClosedLocked(ChannelState& ch, const ShutdownEventArgs& reason);
  void failLocked(int status, const char* what);
  void timedOutLocked(const char* what);
  void serviceLoop();

  const std::chrono::milliseconds rpcTimeout_;
  std::mutex io_;
  amqp_connection_state_t conn_ = nullptr;
  std::map<amqp_channel_t, std::shared_ptr<ChannelState>> channels_;
  amqp_channel_t lastChannel_ = 0;
  bool closeOk_ = false;

  mutable std::mutex stateLock_;
  std::atomic<bool> open_{false};
  std::optional<ShutdownEventArgs> closeReason_;
  std::uint16_t heartbeat_ = 0;
  int localPort_ = 0;

  std::mutex handlersLock_;
  std::condition_variable announced_;
  std::map<int, Connection::ShutdownHandler> handlers_;
  int lastHandler_ = 0;
  Connection* owner_ = nullptr;
  bool announcing_ = false;
  bool announceDone_ = false;
  std::thread::id announcer_;

  std::mutex serviceLock_;
  std::condition_variable serviceWake_;
  bool stopping_ = false;
  std::thread service_;
};

void ConnectionCore::open(const ConnectionFactory& f) {
  const auto where = f.HostName + ":" + std::to_string(f.Port);
  const auto deadline = Clock::now() + f.RequestedConnectionTimeout;
  conn_ = amqp_new_connection();
  if (!conn_) throw AmqpException("Cannot connect to " + where + ": out of memory");
  amqp_socket_t* socket = amqp_tcp_socket_new(conn_);
  if (!socket) throw AmqpException("Cannot connect to " + where + ": cannot create a socket");
  timeval tv = ToTimeval(f.RequestedConnectionTimeout);
  int status = amqp_socket_open_noblock(socket, f.HostName.c_str(), f.Port, &tv);
  if (status != AMQP_STATUS_OK) {
    throw AmqpException("Cannot connect to " + where + ": " + amqp_error_string2(status));
  }
  tv = ToTimeval(deadline - Clock::now());
  amqp_set_handshake_timeout(conn_, &tv);
  const amqp_rpc_reply_t r =
      amqp_login(conn_, f.VirtualHost.c_str(), 0, AMQP_DEFAULT_FRAME_SIZE, f.RequestedHeartbeat,
                 AMQP_SASL_METHOD_PLAIN, f.UserName.c_str(), f.Password.c_str());
  if (r.reply_type == AMQP_RESPONSE_SERVER_EXCEPTION && r.reply.id == AMQP_CONNECTION_CLOSE_METHOD) {
    const auto* m = static_cast<const amqp_connection_close_t*>(r.reply.decoded);
    throw AmqpException("The broker at " + where + " refused the connection: " + Text(m->reply_text) +
                        " (code " + std::to_string(m->reply_code) + ")");
  }
  if (r.reply_type == AMQP_RESPONSE_LIBRARY_EXCEPTION) {
    throw AmqpException("Cannot log in to " + where + ": " + amqp_error_string2(r.library_error));
  }
  if (r.reply_type != AMQP_RESPONSE_NORMAL) throw AmqpException("Cannot log in to " + where);

  heartbeat_ = static_cast<std::uint16_t>(amqp_get_heartbeat(conn_));
  sockaddr_storage local{};
  socklen_t len = sizeof local;
  if (getsockname(amqp_get_sockfd(conn_), reinterpret_cast<sockaddr*>(&local), &len) == 0) {
    if (local.ss_family == AF_INET) localPort_ = ntohs(reinterpret_cast<sockaddr_in*>(&local)->sin_port);
    if (local.ss_family == AF_INET6) localPort_ = ntohs(reinterpret_cast<sockaddr_in6*>(&local)->sin6_port);
  }
  open_ = true;
}

void ConnectionCore::markClosedLocked(ShutdownEventArgs reason) {
  if (!open_) return;
  {
    std::lock_guard<std::mutex> g(stateLock_);
    closeReason_ = reason;
  }
  for (auto& [id, ch] : channels_) markChannelClosedLocked(*ch, reason);
  channels_.clear();
  open_ = false;
  // The socket is shut so nothing more is read or written; its memory goes with the state object.
  const int fd = amqp_get_sockfd(conn_);
#ifdef _WIN32
  if (fd >= 0) ::shutdown(static_cast<SOCKET>(fd), SD_BOTH);
#else
  if (fd >= 0) ::shutdown(fd, SHUT_RDWR);
#endif
  {
    std::lock_guard<std::mutex> g(serviceLock_);
  }
  serviceWake_.notify_all();
}

void ConnectionCore::markChannelClosedLocked(ChannelState& ch, const ShutdownEventArgs& reason) {
  if (!ch.open.exchange(false)) return;
  std::lock_guard<std::mutex> g(stateLock_);
  ch.closeReason = reason;
}

void ConnectionCore::failLocked(int status, const char* what) {
  if (status == AMQP_STATUS_HEARTBEAT_TIMEOUT) {
    markClosedLocked(LibraryClose("Missed heartbeats from the broker", amqp_error_string2(status)));
  } else {
    markClosedLocked(LibraryClose(std::string("Connection lost during ") + what, amqp_error_string2(status)));
  }
}

void ConnectionCore::timedOutLocked(const char* what) {
  markClosedLocked(LibraryClose(std::string("Timed out after ") + std::to_string(rpcTimeout_.count()) +
                                    " ms waiting for " + what,
                                ""));
}

// Handles every frame that has already arrived, without waiting.
void ConnectionCore::pumpLocked() {
  while (open_) {
    amqp_frame_t frame;
    timeval zero{};
    const int status = amqp_simple_wait_frame_noblock(conn_, &frame, &zero);
    if (status == AMQP_STATUS_TIMEOUT) return;
    if (status != AMQP_STATUS_OK) {
      failLocked(status, "the wait for frames");
      return;
    }
    dispatchLocked(frame);
  }
}

template <class Done>
void ConnectionCore::waitLocked(Done done, const char* what) {
  const auto deadline = Clock::now() + rpcTimeout_;
  while (open_ && !done()) {
    const auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero()) {
      timedOutLocked(what);
      return;
    }
    amqp_frame_t frame;
    timeval tv = ToTimeval(left);
    const int status = amqp_simple_wait_frame_noblock(conn_, &frame, &tv);
    if (status == AMQP_STATUS_TIMEOUT) continue;
    if (status != AMQP_STATUS_OK) {
      failLocked(status, what);
      return;
    }
    dispatchLocked(frame);
  }
}

void ConnectionCore::dispatchLocked(const amqp_frame_t& frame) {
  if (frame.frame_type == AMQP_FRAME_METHOD && frame.channel == 0) {
    switch (frame.payload.method.id) {
      case AMQP_CONNECTION_CLOSE_METHOD: {
        const auto* m = static_cast<const amqp_connection_close_t*>(frame.payload.method.decoded);
        auto reason = CloseArgs(ShutdownInitiator::Peer, m->reply_code, m->reply_text, m->class_id, m->method_id);
        amqp_connection_close_ok_t ok{};
        amqp_send_method(conn_, 0, AMQP_CONNECTION_CLOSE_OK_METHOD, &ok);
        markClosedLocked(std::move(reason));
        return;
      }
      case AMQP_CONNECTION_CLOSE_OK_METHOD:
        closeOk_ = true;
        return;
      default:  // connection.blocked / unblocked: nothing to do for a client that waits for confirms anyway
        return;
    }
  }
  const auto it = channels_.find(frame.channel);
  if (it == channels_.end()) return;
  ChannelState& ch = *it->second;

  if (frame.frame_type == AMQP_FRAME_METHOD) {
    const amqp_method_t& method = frame.payload.method;
    switch (method.id) {
      case AMQP_CHANNEL_CLOSE_METHOD: {
        const auto* m = static_cast<const amqp_channel_close_t*>(method.decoded);
        const auto reason =
            CloseArgs(ShutdownInitiator::Peer, m->reply_code, m->reply_text, m->class_id, m->method_id);
        amqp_channel_close_ok_t ok{};
        amqp_send_method(conn_, ch.id, AMQP_CHANNEL_CLOSE_OK_METHOD, &ok);
        markChannelClosedLocked(ch, reason);
        channels_.erase(it);
        return;
      }
      case AMQP_BASIC_ACK_METHOD:
      case AMQP_BASIC_NACK_METHOD: {
        const bool ack = method.id == AMQP_BASIC_ACK_METHOD;
        const auto* a = static_cast<const amqp_basic_ack_t*>(method.decoded);
        const auto* n = static_cast<const amqp_basic_nack_t*>(method.decoded);
        const std::uint64_t tag = ack ? a->delivery_tag : n->delivery_tag;
        const bool multiple = (ack ? a->multiple : n->multiple) != 0;
        const int outcome = ack ? 1 : 2;
        for (auto& [seq, state] : ch.confirms) {
          if (seq == tag || (multiple && seq <= tag)) state = outcome;
        }
        return;
      }
      case AMQP_BASIC_GET_OK_METHOD: {
        const auto* m = static_cast<const amqp_basic_get_ok_t*>(method.decoded);
        ch.incoming = BasicGetResult{};
        ch.incoming.DeliveryTag = m->delivery_tag;
        ch.incoming.Redelivered = m->redelivered != 0;
        ch.incoming.Exchange = Text(m->exchange);
        ch.incoming.RoutingKey = Text(m->routing_key);
        ch.incoming.MessageCount = m->message_count;
        ch.receiving = true;
        ch.keep = true;
        return;
      }
      case AMQP_BASIC_DELIVER_METHOD:
      case AMQP_BASIC_RETURN_METHOD:
        // Content that no call waits for (this client subscribes no consumer): read and drop it.
        ch.receiving = true;
        ch.keep = false;
        return;
      default:
        for (const auto id : ch.expected) {
          if (id == method.id) {
            ch.reply = method;
            return;
          }
        }
        return;
    }
  }

  if (!ch.receiving) return;
  if (frame.frame_type == AMQP_FRAME_HEADER) {
    ch.bodyLeft = frame.payload.properties.body_size;
    const auto* props = static_cast<const amqp_basic_properties_t*>(frame.payload.properties.decoded);
    ch.incoming.PropertyFlags = props ? static_cast<std::uint16_t>(props->_flags) : 0;
    ch.incoming.Body.clear();
    ch.incoming.Body.reserve(static_cast<std::size_t>(ch.bodyLeft));
  } else if (frame.frame_type == AMQP_FRAME_BODY) {
    const auto& b = frame.payload.body_fragment;
    ch.incoming.Body.append(static_cast<const char*>(b.bytes), b.len);
    ch.bodyLeft = b.len >= ch.bodyLeft ? 0 : ch.bodyLeft - b.len;
  } else {
    return;
  }
  if (ch.bodyLeft == 0) {
    ch.receiving = false;
    if (ch.keep) ch.got = std::move(ch.incoming);
  }
}

void ConnectionCore::sendLocked(ChannelState& ch, amqp_method_number_t method, void* args) {
  const int status = amqp_send_method(conn_, ch.id, method, args);
  if (status == AMQP_STATUS_OK) return;
  if (IsTransportFailure(status)) {
    failLocked(status, "a send");
    interruptedLocked(ch);
  }
  throw AmqpException(std::string("Cannot send the request: ") + amqp_error_string2(status));
}

amqp_method_t ConnectionCore::rpcLocked(ChannelState& ch, amqp_method_number_t method, void* args,
                                        std::initializer_list<amqp_method_number_t> replies, const char* what) {
  ch.expected.assign(replies.begin(), replies.end());
  ch.reply.reset();
  struct Clear {
    ChannelState& c;
    ~Clear() { c.expected.clear(); }
  } clear{ch};
  sendLocked(ch, method, args);
  waitLocked([&] { return ch.reply.has_value() || !ch.open; }, what);
  if (!open_ || !ch.open || !ch.reply) interruptedLocked(ch);
  return *ch.reply;
}

std::shared_ptr<ChannelState> ConnectionCore::openChannelLocked() {
  if (!open_) throw AlreadyClosedException(*closeReason());
  pumpLocked();
  if (!open_) throw AlreadyClosedException(*closeReason());
  auto ch = std::make_shared<ChannelState>(++lastChannel_);
  channels_[ch->id] = ch;
  ch->open = true;  // provisionally, so that a broker's channel.close during the open is recorded
  try {
    amqp_channel_open_t req{};
    req.out_of_band = amqp_empty_bytes;
    rpcLocked(*ch, AMQP_CHANNEL_OPEN_METHOD, &req, {AMQP_CHANNEL_OPEN_OK_METHOD}, "channel.open-ok");
  } catch (...) {
    channels_.erase(ch->id);
    throw;
  }
  return ch;
}

void ConnectionCore::publishLocked(ChannelState& ch, std::string_view exchange, std::string_view routingKey,
                                   bool mandatory, std::string_view body) {
  amqp_basic_properties_t props;
  std::memset(&props, 0, sizeof props);
  const int status = amqp_basic_publish(conn_, ch.id, Bytes(exchange), Bytes(routingKey), mandatory ? 1 : 0, 0,
                                        &props, Bytes(body));
  if (status != AMQP_STATUS_OK) {
    if (IsTransportFailure(status)) {
      failLocked(status, "a publication");
      interruptedLocked(ch);
    }
    throw AmqpException(std::string("Cannot publish the message: ") + amqp_error_string2(status));
  }
  if (!ch.confirmMode) return;
  const std::uint64_t seq = ++ch.publishSeq;
  ch.confirms[seq] = 0;
  struct Forget {
    ChannelState& c;
    std::uint64_t s;
    ~Forget() { c.confirms.erase(s); }
  } forget{ch, seq};
  waitLocked([&] { return ch.confirms[seq] != 0 || !ch.open; }, "the broker's confirm of a publication");
  const int outcome = ch.confirms[seq];
  if (outcome == 1) return;
  if (outcome == 2) throw AmqpException("The broker did not accept the message (basic.nack)");
  interruptedLocked(ch);
}

std::optional<BasicGetResult> ConnectionCore::getLocked(ChannelState& ch, std::string_view queue, bool autoAck) {
  amqp_basic_get_t req{};
  req.queue = Bytes(queue);
  req.no_ack = autoAck ? 1 : 0;
  ch.got.reset();
  ch.expected.assign({AMQP_BASIC_GET_EMPTY_METHOD});
  ch.reply.reset();
  struct Clear {
    ChannelState& c;
    ~Clear() { c.expected.clear(); }
  } clear{ch};
  sendLocked(ch, AMQP_BASIC_GET_METHOD, &req);
  waitLocked([&] { return ch.got.has_value() || ch.reply.has_value() || !ch.open; }, "basic.get-ok");
  if (!open_ || !ch.open) interruptedLocked(ch);
  if (ch.reply) return std::nullopt;
  auto result = std::move(ch.got);
  ch.got.reset();
  return result;
}

void ConnectionCore::closeChannelLocked(ChannelState& ch) {
  amqp_channel_close_t req{};
  req.reply_code = ReplyCodes::ReplySuccess;
  req.reply_text = amqp_cstring_bytes("Goodbye");
  rpcLocked(ch, AMQP_CHANNEL_CLOSE_METHOD, &req, {AMQP_CHANNEL_CLOSE_OK_METHOD}, "channel.close-ok");
  markChannelClosedLocked(ch, ApplicationClose());
  channels_.erase(ch.id);
}

void ConnectionCore::closeLocked() {
  if (!open_) throw AlreadyClosedException(*closeReason());
  pumpLocked();
  if (!open_) throw AlreadyClosedException(*closeReason());
  amqp_connection_close_t req{};
  req.reply_code = ReplyCodes::ReplySuccess;
  req.reply_text = amqp_cstring_bytes("Goodbye");
  closeOk_ = false;
  const int status = amqp_send_method(conn_, 0, AMQP_CONNECTION_CLOSE_METHOD, &req);
  if (status != AMQP_STATUS_OK) {
    failLocked(status, "connection.close");
    throw OperationInterruptedException(*closeReason());
  }
  waitLocked([&] { return closeOk_; }, "connection.close-ok");
  if (!open_) throw OperationInterruptedException(*closeReason());
  markClosedLocked(ApplicationClose());
}

void ConnectionCore::abortLocked() {
  if (!open_) return;
  amqp_connection_close_t req{};
  req.reply_code = ReplyCodes::ReplySuccess;
  req.reply_text = amqp_cstring_bytes("Goodbye");
  amqp_send_method(conn_, 0, AMQP_CONNECTION_CLOSE_METHOD, &req);  // best effort, no wait
  markClosedLocked(ApplicationClose());
}

void ConnectionCore::announceShutdown() {
  std::unique_lock<std::mutex> g(handlersLock_);
  if (announceDone_) return;
  if (announcing_) {
    // A handler that calls back into its connection must not wait for itself.
    if (announcer_ == std::this_thread::get_id()) return;
    announced_.wait(g, [&] { return announceDone_; });
    return;
  }
  announcing_ = true;
  announcer_ = std::this_thread::get_id();
  const auto reason = closeReason();
  std::vector<std::pair<int, Connection::ShutdownHandler>> list(handlers_.begin(), handlers_.end());
  Connection* owner = owner_;
  g.unlock();
  if (owner && reason) {
    for (auto& [id, handler] : list) {
      {
        std::lock_guard<std::mutex> check(handlersLock_);
        if (!handlers_.count(id)) continue;  // removed by an earlier handler
      }
      handler(*owner, *reason);
    }
  }
  g.lock();
  announceDone_ = true;
  handlers_.clear();
  announced_.notify_all();
}

void ConnectionCore::stopService() {
  {
    std::lock_guard<std::mutex> g(serviceLock_);
    stopping_ = true;
  }
  serviceWake_.notify_all();
  if (!service_.joinable()) return;
  if (service_.get_id() == std::this_thread::get_id()) {
    service_.detach();  // the last owner let go from a shutdown handler; the loop ends right after
  } else {
    service_.join();
  }
}

void ConnectionCore::serviceLoop() {
  for (;;) {
    {
      std::unique_lock<std::mutex> g(serviceLock_);
      serviceWake_.wait_for(g, kServiceTick, [&] { return stopping_ || !open_; });
      if (stopping_) return;
    }
    if (open_) {
      withIo([&] {
        if (open_) pumpLocked();
      });
    }
    if (!open_) {
      announceShutdown();
      return;
    }
  }
}

// --- Channel --------------------------------------------------------------------------

Channel::Channel(std::shared_ptr<ConnectionCore> core, std::shared_ptr<ChannelState> state)
    : core_(std::move(core)), state_(std::move(state)) {}
Channel::~Channel() = default;

bool Channel::IsOpen() const { return core_->isOpen() && state_->open; }

std::optional<ShutdownEventArgs> Channel::CloseReason() const {
  if (auto r = core_->channelCloseReason(*state_)) return r;
  return core_->closeReason();
}

std::uint16_t Channel::ChannelNumber() const { return state_->id; }

void Channel::ConfirmSelect() {
  core_->withIo([&] {
    core_->requireOpenLocked(*state_);
    amqp_confirm_select_t req{};
    core_->rpcLocked(*state_, AMQP_CONFIRM_SELECT_METHOD, &req, {AMQP_CONFIRM_SELECT_OK_METHOD},
                     "confirm.select-ok");
    state_->confirmMode = true;
  });
}

void Channel::BasicPublish(std::string_view exchange, std::string_view routingKey, bool mandatory,
                           const BasicProperties&, std::string_view body) {
  core_->withIo([&] {
    core_->requireOpenLocked(*state_);
    core_->publishLocked(*state_, exchange, routingKey, mandatory, body);
  });
}

void Channel::ExchangeDeclare(std::string_view exchange, std::string_view type, bool durable, bool autoDelete) {
  core_->withIo([&] {
    core_->requireOpenLocked(*state_);
    amqp_exchange_declare_t req{};
    req.exchange = Bytes(exchange);
    req.type = Bytes(type);
    req.durable = durable;
    req.auto_delete = autoDelete;
    req.arguments = amqp_empty_table;
    core_->rpcLocked(*state_, AMQP_EXCHANGE_DECLARE_METHOD, &req, {AMQP_EXCHANGE_DECLARE_OK_METHOD},
                     "exchange.declare-ok");
  });
}

void Channel::ExchangeDelete(std::string_view exchange, bool ifUnused) {
  core_->withIo([&] {
    core_->requireOpenLocked(*state_);
    amqp_exchange_delete_t req{};
    req.exchange = Bytes(exchange);
    req.if_unused = ifUnused;
    core_->rpcLocked(*state_, AMQP_EXCHANGE_DELETE_METHOD, &req, {AMQP_EXCHANGE_DELETE_OK_METHOD},
                     "exchange.delete-ok");
  });
}

QueueDeclareOk Channel::QueueDeclare(std::string_view queue, bool durable, bool exclusive, bool autoDelete) {
  return core_->withIo([&] {
    core_->requireOpenLocked(*state_);
    amqp_queue_declare_t req{};
    req.queue = Bytes(queue);
    req.durable = durable;
    req.exclusive = exclusive;
    req.auto_delete = autoDelete;
    req.arguments = amqp_empty_table;
    const auto reply = core_->rpcLocked(*state_, AMQP_QUEUE_DECLARE_METHOD, &req, {AMQP_QUEUE_DECLARE_OK_METHOD},
                                        "queue.declare-ok");
    const auto* ok = static_cast<const amqp_queue_declare_ok_t*>(reply.decoded);
    QueueDeclareOk r;
    r.QueueName = Text(ok->queue);
    r.MessageCount = ok->message_count;
    r.ConsumerCount = ok->consumer_count;
    return r;
  });
}

void Channel::QueueBind(std::string_view queue, std::string_view exchange, std::string_view routingKey) {
  core_->withIo([&] {
    core_->requireOpenLocked(*state_);
    amqp_queue_bind_t req{};
    req.queue = Bytes(queue);
    req.exchange = Bytes(exchange);
    req.routing_key = Bytes(routingKey);
    req.arguments = amqp_empty_table;
    core_->rpcLocked(*state_, AMQP_QUEUE_BIND_METHOD, &req, {AMQP_QUEUE_BIND_OK_METHOD}, "queue.bind-ok");
  });
}

std::uint32_t Channel::QueueDelete(std::string_view queue, bool ifUnused, bool ifEmpty) {
  return core_->withIo([&] {
    core_->requireOpenLocked(*state_);
    amqp_queue_delete_t req{};
    req.queue = Bytes(queue);
    req.if_unused = ifUnused;
    req.if_empty = ifEmpty;
    const auto reply = core_->rpcLocked(*state_, AMQP_QUEUE_DELETE_METHOD, &req, {AMQP_QUEUE_DELETE_OK_METHOD},
                                        "queue.delete-ok");
    return static_cast<const amqp_queue_delete_ok_t*>(reply.decoded)->message_count;
  });
}

std::uint32_t Channel::QueuePurge(std::string_view queue) {
  return core_->withIo([&] {
    core_->requireOpenLocked(*state_);
    amqp_queue_purge_t req{};
    req.queue = Bytes(queue);
    const auto reply = core_->rpcLocked(*state_, AMQP_QUEUE_PURGE_METHOD, &req, {AMQP_QUEUE_PURGE_OK_METHOD},
                                        "queue.purge-ok");
    return static_cast<const amqp_queue_purge_ok_t*>(reply.decoded)->message_count;
  });
}

std::optional<BasicGetResult> Channel::BasicGet(std::string_view queue, bool autoAck) {
  return core_->withIo([&] {
    core_->requireOpenLocked(*state_);
    return core_->getLocked(*state_, queue, autoAck);
  });
}

void Channel::BasicAck(std::uint64_t deliveryTag, bool multiple) {
  core_->withIo([&] {
    core_->requireOpenLocked(*state_);
    amqp_basic_ack_t req{};
    req.delivery_tag = deliveryTag;
    req.multiple = multiple;
    core_->sendLocked(*state_, AMQP_BASIC_ACK_METHOD, &req);
  });
}

void Channel::Close() {
  core_->withIo([&] {
    core_->requireOpenLocked(*state_);
    core_->closeChannelLocked(*state_);
  });
}

// --- Connection -------------------------------------------------------------------------

Connection::Connection(std::shared_ptr<ConnectionCore> core) : core_(std::move(core)) { core_->setOwner(this); }

Connection::~Connection() {
  Abort();
  core_->setOwner(nullptr);
}

bool Connection::IsOpen() const { return core_->isOpen(); }
std::optional<ShutdownEventArgs> Connection::CloseReason() const { return core_->closeReason(); }
std::uint16_t Connection::Heartbeat() const { return core_->heartbeat(); }
int Connection::LocalPort() const { return core_->localPort(); }

std::shared_ptr<Channel> Connection::CreateModel() {
  auto state = core_->withIo([&] { return core_->openChannelLocked(); });
  return std::shared_ptr<Channel>(new Channel(core_, std::move(state)));
}

int Connection::AddShutdownHandler(ShutdownHandler handler) { return core_->addHandler(std::move(handler)); }
void Connection::RemoveShutdownHandler(int id) { core_->removeHandler(id); }

void Connection::Close() {
  struct Stop {
    ConnectionCore& core;
    ~Stop() {
      if (!core.isOpen()) core.stopService();
    }
  } stop{*core_};
  core_->withIo([&] { core_->closeLocked(); });
}

void Connection::Abort() {
  core_->withIo([&] { core_->abortLocked(); });
  core_->stopService();
}

std::shared_ptr<Connection> ConnectionFactory::CreateConnection() const {
  auto core = std::make_shared<ConnectionCore>(ContinuationTimeout);
  core->open(*this);
  std::shared_ptr<Connection> connection(new Connection(core));
  core->startService();
  return connection;
}

}  // namespace QvMT4Connector::Amqp
