// Against the local broker (scripts/broker.sh start), in one run:
//  1. time per confirmed order event through the facade behind the exports (QvOrderCancel: text,
//     log line, publication, broker's confirm) against rabbitmq-c publishing the same bytes with
//     confirms directly;
//  2. time to drain N waiting replies through QvReadResponses against a bare basic.get/ack loop.
//   bench_messaging [events per round] [replies]     (defaults 500 and 10000)
#include <amqp.h>
#include <amqp_tcp_socket.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "amqp/Amqp.h"
#include "connector/RaRU4DAV.h"
#include "connector/Utils.h"
#include "platform/Platform.h"

namespace {
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr char kHost[] = "127.0.0.1";
constexpr char kEmail[] = "bench";
constexpr char kPassword[] = "bench-password";

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

void Check(amqp_rpc_reply_t r, const char* what) {
  if (r.reply_type != AMQP_RESPONSE_NORMAL) throw std::runtime_error(std::string("rabbitmq-c: ") + what);
}

// A plain rabbitmq-c connection with one channel, as a program without our layer would use it.
struct Raw {
  amqp_connection_state_t conn = amqp_new_connection();
  Raw() {
    amqp_socket_t* socket = amqp_tcp_socket_new(conn);
    if (amqp_socket_open(socket, kHost, 5672) != AMQP_STATUS_OK) throw std::runtime_error("rabbitmq-c: connect");
    Check(amqp_login(conn, QV_BROKER_VHOST, 0, AMQP_DEFAULT_FRAME_SIZE, 31, AMQP_SASL_METHOD_PLAIN, QV_BROKER_USER,
                     QV_BROKER_PASSWORD),
          "login");
    amqp_channel_open(conn, 1);
    Check(amqp_get_rpc_reply(conn), "channel.open");
  }
  ~Raw() {
    amqp_channel_close(conn, 1, AMQP_REPLY_SUCCESS);
    amqp_connection_close(conn, AMQP_REPLY_SUCCESS);
    amqp_destroy_connection(conn);
  }
  void ConfirmSelect() {
    amqp_confirm_select(conn, 1);
    Check(amqp_get_rpc_reply(conn), "confirm.select");
  }
  // Publishes and waits for the broker's ack.
  void PublishConfirmed(const char* exchange, const std::string& key, const std::string& body) {
    amqp_basic_properties_t props{};
    amqp_bytes_t b{body.size(), const_cast<char*>(body.data())};
    if (amqp_basic_publish(conn, 1, amqp_cstring_bytes(exchange), amqp_cstring_bytes(key.c_str()), 0, 0, &props,
                           b) != AMQP_STATUS_OK) {
      throw std::runtime_error("rabbitmq-c: publish");
    }
    for (;;) {
      amqp_frame_t frame;
      if (amqp_simple_wait_frame(conn, &frame) != AMQP_STATUS_OK) throw std::runtime_error("rabbitmq-c: wait");
      if (frame.frame_type == AMQP_FRAME_METHOD && frame.payload.method.id == AMQP_BASIC_ACK_METHOD) break;
      if (frame.frame_type == AMQP_FRAME_METHOD && frame.payload.method.id == AMQP_BASIC_NACK_METHOD) {
        throw std::runtime_error("rabbitmq-c: nack");
      }
    }
    amqp_maybe_release_buffers(conn);
  }
  // Drains the queue with basic.get and one basic.ack per message; returns the count.
  int Drain(const std::string& queue) {
    int n = 0;
    for (;;) {
      amqp_rpc_reply_t r = amqp_basic_get(conn, 1, amqp_cstring_bytes(queue.c_str()), 0);
      Check(r, "basic.get");
      if (r.reply.id == AMQP_BASIC_GET_EMPTY_METHOD) break;
      const auto tag = static_cast<amqp_basic_get_ok_t*>(r.reply.decoded)->delivery_tag;
      amqp_message_t message;
      Check(amqp_read_message(conn, 1, &message, 0), "read message");
      amqp_destroy_message(&message);
      amqp_basic_ack(conn, 1, tag, 0);
      amqp_maybe_release_buffers(conn);
      ++n;
    }
    return n;
  }
};

// Fills a queue (or whatever the key reaches) with n replies through our own layer.
void PublishReplies(const std::string& exchange, const std::string& key, int n) {
  QvMT4Connector::Amqp::ConnectionFactory f;
  f.HostName = kHost;
  f.UserName = QV_BROKER_USER;
  f.Password = QV_BROKER_PASSWORD;
  f.VirtualHost = QV_BROKER_VHOST;
  auto c = f.CreateConnection();
  auto ch = c->CreateModel();
  for (int i = 0; i < n; ++i) ch->BasicPublish(exchange, key, false, {}, "OK Cancel from bench: order " + std::to_string(i));
  ch->ConfirmSelect();
  ch->BasicPublish(exchange, key, false, {}, "last");  // confirmed: everything before it is routed too
}
}  // namespace

int main(int argc, char** argv) {
  using QvMT4Connector::RaRU4DAV;
  const int events = argc > 1 ? std::max(1, std::atoi(argv[1])) : 500;
  const int replies = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10000;
  try {
    std::string folder = (fs::temp_directory_path() / "qvmsg-bench-XXXXXX").string();
    if (mkdtemp(folder.data()) == nullptr) throw std::runtime_error("mkdtemp");
    QvMT4Connector::Platform::Testing::SetExecutableDirectory(folder);
    QvMT4Connector::Platform::Testing::SetCurrentDirectory(folder);

    const std::string sys = "bench" + QvMT4Connector::Platform::NewUuid().substr(0, 8);
    if (RaRU4DAV::QvInit(kHost, kEmail, kPassword, sys.c_str(), 1, "bench") != "ok") {
      throw std::runtime_error("QvInit failed: is the broker running (scripts/broker.sh start)?");
    }

    // Rounds alternate between the two sides and the medians are compared, so that other load on
    // the machine weighs on both alike.
    constexpr int kRounds = 5;
    const std::string key = "mt4_signal." + std::string(kEmail) + "." + sys;
    using QvMT4Connector::Utils;
    const std::string body = "Cancel," + Utils::Base64Encode(kEmail) + "," +
                             Utils::Base64Encode(Utils::Base64Encode(Utils::Base64Encode(kPassword))) + "," + sys +
                             ",,,1001";  // the library's text of QvOrderCancel(1001)
    Raw raw;
    raw.ConfirmSelect();

    // 1. Confirmed order events.
    for (int i = 0; i < 50; ++i) {  // warm up both
      RaRU4DAV::QvOrderCancel(kEmail, kPassword, sys.c_str(), 1001, "");
      raw.PublishConfirmed(QV_SIGNALS_EXCHANGE, key, body);
    }
    std::vector<double> library, direct;
    for (int round = 0; round < kRounds; ++round) {
      auto start = Clock::now();
      for (int i = 0; i < events; ++i) {
        if (RaRU4DAV::QvOrderCancel(kEmail, kPassword, sys.c_str(), 1001, "") != "OK") throw std::runtime_error("Send");
      }
      library.push_back(Seconds(start) / events);
      start = Clock::now();
      for (int i = 0; i < events; ++i) raw.PublishConfirmed(QV_SIGNALS_EXCHANGE, key, body);
      direct.push_back(Seconds(start) / events);
    }
    std::printf("confirmed order event: library %.1f us, rabbitmq-c %.1f us, ratio %.2f (median of %d rounds of %d)\n",
                Median(library) * 1e6, Median(direct) * 1e6, Median(library) / Median(direct), kRounds, events);

    // 2. Draining waiting replies.
    amqp_queue_declare_ok_t* q = amqp_queue_declare(raw.conn, 1, amqp_empty_bytes, 0, 0, 1, 1, amqp_empty_table);
    Check(amqp_get_rpc_reply(raw.conn), "queue.declare");
    const std::string queue(static_cast<const char*>(q->queue.bytes), q->queue.len);
    const std::string rawKey = "bench.raw." + sys;
    amqp_queue_bind(raw.conn, 1, amqp_cstring_bytes(queue.c_str()), amqp_cstring_bytes(QV_RESPONSES_EXCHANGE),
                    amqp_cstring_bytes(rawKey.c_str()), amqp_empty_table);
    Check(amqp_get_rpc_reply(raw.conn), "queue.bind");
    const std::string replyKey = "tsqv.response.human.ok." + sys;
    std::vector<double> libraryDrain, directDrain;
    for (int round = 0; round < 3; ++round) {
      PublishReplies(QV_RESPONSES_EXCHANGE, replyKey, replies - 1);
      auto start = Clock::now();
      const int drained = RaRU4DAV::QvReadResponses();
      libraryDrain.push_back(Seconds(start));
      for (int i = 0; i < drained; ++i) RaRU4DAV::QvNextResponse();
      if (drained != replies) throw std::runtime_error("drained " + std::to_string(drained) + " replies");

      PublishReplies(QV_RESPONSES_EXCHANGE, rawKey, replies - 1);
      start = Clock::now();
      const int rawDrained = raw.Drain(queue);
      directDrain.push_back(Seconds(start));
      if (rawDrained != replies) throw std::runtime_error("raw drained " + std::to_string(rawDrained));
    }
    std::printf("drain of %d replies: QvReadResponses %.3f s, basic.get/ack loop %.3f s, ratio %.2f (median of 3)\n",
                replies, Median(libraryDrain), Median(directDrain), Median(libraryDrain) / Median(directDrain));

    RaRU4DAV::QvDeInit();
    fs::remove_all(folder);
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bench_messaging: %s\n", e.what());
    return 1;
  }
}
