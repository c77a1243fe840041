// qv-substitute-service: consumes the signals exchange through its own queue and answers every signal
// on the responses exchange, logging what it receives and sends. Stops on SIGINT or SIGTERM.
//   qv-substitute-service [--host H] [--port N] [--ready-file PATH]
// --ready-file: written once the queue is bound, so a caller knows no signal is missed from then on.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>

#include "Service.h"
#include "amqp/Amqp.h"

namespace {
volatile std::sig_atomic_t stopRequested = 0;
void OnSignal(int) { stopRequested = 1; }

void Log(const std::string& line) { std::cout << "substitute-service: " << line << std::endl; }
}  // namespace

int main(int argc, char** argv) {
  using namespace QvMT4Connector;
  Amqp::ConnectionFactory factory;
  factory.HostName = "127.0.0.1";
  factory.UserName = QV_BROKER_USER;
  factory.Password = QV_BROKER_PASSWORD;
  factory.VirtualHost = QV_BROKER_VHOST;
  factory.RequestedHeartbeat = 10;
  std::string readyFile;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (i + 1 < argc && a == "--host") {
      factory.HostName = argv[++i];
    } else if (i + 1 < argc && a == "--port") {
      factory.Port = std::atoi(argv[++i]);
    } else if (i + 1 < argc && a == "--ready-file") {
      readyFile = argv[++i];
    } else {
      std::cerr << "usage: qv-substitute-service [--host H] [--port N] [--ready-file PATH]\n";
      return 2;
    }
  }
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);

  try {
    auto connection = factory.CreateConnection();
    auto channel = connection->CreateModel();
    channel->ExchangeDeclare(QV_SIGNALS_EXCHANGE, "topic", true, false);
    channel->ExchangeDeclare(QV_RESPONSES_EXCHANGE, "topic", true, false);
    const auto queue = channel->QueueDeclare("", false, true, true).QueueName;
    channel->QueueBind(queue, QV_SIGNALS_EXCHANGE, "mt4_signal.#");
    channel->ConfirmSelect();
    Log("consuming " + std::string(QV_SIGNALS_EXCHANGE) + " through " + queue + " on " + factory.HostName);
    if (!readyFile.empty()) std::ofstream(readyFile) << queue << "\n";

    while (!stopRequested) {
      auto message = channel->BasicGet(queue, false);
      if (!message) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        continue;
      }
      Log("received [" + message->RoutingKey + "] " + message->Body);
      if (const auto reply = SubstituteService::Answer(message->Body)) {
        channel->BasicPublish(QV_RESPONSES_EXCHANGE, reply->routingKey, false, channel->CreateBasicProperties(),
                              reply->text);
        Log("replied [" + reply->routingKey + "] " + reply->text);
      } else {
        Log("no system id in the signal: not answered");
      }
      channel->BasicAck(message->DeliveryTag, false);
    }
    connection->Close();
    Log("stopped");
    return 0;
  } catch (const std::exception& e) {
    Log(std::string("failed: ") + e.what());
    return 1;
  }
}
