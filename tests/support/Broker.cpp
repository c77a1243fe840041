#include "Broker.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace QvMT4Connector::TestSupport {

namespace {
std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) {
    if (c == '\'') {
      q += "'\\''";
    } else {
      q += c;
    }
  }
  return q + "'";
}
}  // namespace

std::string BrokerScript(const std::vector<std::string>& args, const std::string& address) {
  std::string cmd = "QV_BROKER_ADDR=" + Quote(address) + " bash " + Quote(std::string(QV_SOURCE_DIR) + "/scripts/broker.sh");
  for (const auto& a : args) cmd += " " + Quote(a);
  cmd += " 2>&1";
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) throw std::runtime_error("cannot run " + cmd);
  std::string out;
  char buf[4096];
  std::size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  const int rc = pclose(p);
  if (rc != 0) throw std::runtime_error(cmd + " failed (" + std::to_string(rc) + "): " + out);
  return out;
}

std::vector<BrokerConnection> BrokerConnections(const std::string& address) {
  const auto out = BrokerScript({"ctl", "list_connections", "pid", "peer_port", "timeout", "user"}, address);
  std::vector<BrokerConnection> list;
  std::istringstream in(out);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    BrokerConnection c;
    std::string port, timeout;
    if (!std::getline(fields, c.pid, '\t') || !std::getline(fields, port, '\t') ||
        !std::getline(fields, timeout, '\t') || !std::getline(fields, c.user, '\t')) {
      continue;
    }
    if (c.pid.empty() || c.pid[0] != '<') continue;
    c.peerPort = std::stoi(port);
    c.heartbeat = std::stoi(timeout);
    list.push_back(c);
  }
  return list;
}

BrokerConnection BrokerConnectionFromPort(int localPort, const std::string& address) {
  for (const auto& c : BrokerConnections(address)) {
    if (c.peerPort == localPort) return c;
  }
  throw std::runtime_error("the broker lists no connection from port " + std::to_string(localPort));
}

std::vector<int> OwnBrokerSocketPorts(const std::string& address) {
  // Inodes of this process's sockets, then the matching lines of /proc/self/net/tcp.
  std::set<unsigned long> inodes;
  if (DIR* d = opendir("/proc/self/fd")) {
    while (dirent* e = readdir(d)) {
      char target[256];
      const std::string path = std::string("/proc/self/fd/") + e->d_name;
      const ssize_t n = readlink(path.c_str(), target, sizeof target - 1);
      if (n <= 0) continue;
      target[n] = 0;
      unsigned long inode = 0;
      if (std::sscanf(target, "socket:[%lu]", &inode) == 1) inodes.insert(inode);
    }
    closedir(d);
  }
  unsigned a = 0, b = 0, c = 0, dd = 0;
  std::sscanf(address.c_str(), "%u.%u.%u.%u", &a, &b, &c, &dd);
  char want[16];
  std::snprintf(want, sizeof want, "%02X%02X%02X%02X:1628", dd, c, b, a);  // little-endian, port 5672
  std::vector<int> ports;
  std::ifstream tcp("/proc/self/net/tcp");
  std::string line;
  std::getline(tcp, line);
  while (std::getline(tcp, line)) {
    std::istringstream f(line);
    std::string sl, local, remote, st, queues, timer, retr, uid, timeout;
    unsigned long inode = 0;
    f >> sl >> local >> remote >> st >> queues >> timer >> retr >> uid >> timeout >> inode;
    if (remote != want || st != "01" || !inodes.count(inode)) continue;
    ports.push_back(std::stoi(local.substr(local.find(':') + 1), nullptr, 16));
  }
  return ports;
}

std::vector<BrokerConnection> OwnBrokerConnections(const std::string& address) {
  const auto ports = OwnBrokerSocketPorts(address);
  std::vector<BrokerConnection> own;
  for (const auto& c : BrokerConnections(address)) {
    for (int p : ports) {
      if (c.peerPort == p) own.push_back(c);
    }
  }
  return own;
}

void ForceCloseConnection(const std::string& pid, const std::string& address) {
  BrokerScript({"ctl", "close_connection", pid, "closed by a test"}, address);
}

int ThreadCount() {
  // ThreadSanitizer adds a thread of its own when the process starts its first one.
  static const bool warmedUp = [] {
    std::thread([] {}).join();
    return true;
  }();
  (void)warmedUp;
  int n = 0;
  if (DIR* d = opendir("/proc/self/task")) {
    while (dirent* e = readdir(d)) {
      if (e->d_name[0] != '.') ++n;
    }
    closedir(d);
  }
  return n;
}

}  // namespace QvMT4Connector::TestSupport
