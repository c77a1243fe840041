#pragma once
// The test broker: its deployment values, rabbitmqctl through scripts/broker.sh, and the broker's view
// of this process's connections.
#include <cstdint>
#include <string>
#include <vector>

namespace QvMT4Connector::TestSupport {

struct Deployment {
  static const char* const Host;  // the shared test broker, 127.0.0.1 (port 5672)
  static const char* const VirtualHost;
  static const char* const User;
  static const char* const Password;
  static const char* const SignalsExchange;
  static const char* const ResponsesExchange;
};

struct BrokerConnection {
  std::string pid;  // the broker's connection id, as close_connection takes it
  int peerPort = 0; // the client's port
  int heartbeat = 0;
  std::string user;
};

// Runs scripts/broker.sh with the arguments (each one shell-quoted) for the broker on that address;
// returns its standard output. Throws std::runtime_error when the command fails.
std::string BrokerScript(const std::vector<std::string>& args, const std::string& address = "127.0.0.1");
std::vector<BrokerConnection> BrokerConnections(const std::string& address = "127.0.0.1");
// The broker's record of the client connection from that local port; throws when there is none.
BrokerConnection BrokerConnectionFromPort(int localPort, const std::string& address = "127.0.0.1");
// Local ports of this process's TCP connections to that address, port 5672.
std::vector<int> OwnBrokerSocketPorts(const std::string& address = "127.0.0.1");
// The broker's records of this process's connections.
std::vector<BrokerConnection> OwnBrokerConnections(const std::string& address = "127.0.0.1");
// rabbitmqctl close_connection: the broker closes it with reply code 320.
void ForceCloseConnection(const std::string& pid, const std::string& address = "127.0.0.1");

// Number of threads of this process.
int ThreadCount();

}  // namespace QvMT4Connector::TestSupport
