#include "TcpProxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>
#include <vector>

namespace QvMT4Connector::TestSupport {

TcpProxy::TcpProxy(std::string targetHost, int targetPort) : host_(std::move(targetHost)), targetPort_(targetPort) {
  listener_ = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      listen(listener_, 8) != 0 || pipe(wake_) != 0) {
    throw std::runtime_error("TcpProxy: cannot listen");
  }
  socklen_t len = sizeof addr;
  getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len);
  port_ = ntohs(addr.sin_port);
  thread_ = std::thread([this] { run(); });
}

TcpProxy::~TcpProxy() {
  const char c = 0;
  (void)!write(wake_[1], &c, 1);
  thread_.join();
  close(listener_);
  close(wake_[0]);
  close(wake_[1]);
}

void TcpProxy::run() {
  struct Pair {
    int client, server;
  };
  std::vector<Pair> pairs;
  for (;;) {
    std::vector<pollfd> fds{{wake_[0], POLLIN, 0}, {listener_, POLLIN, 0}};
    const bool stalled = stalled_;
    if (!stalled) {
      for (const auto& p : pairs) {
        fds.push_back({p.client, POLLIN, 0});
        fds.push_back({p.server, POLLIN, 0});
      }
    }
    if (poll(fds.data(), fds.size(), stalled ? 100 : 50) < 0) break;
    if (fds[0].revents) break;
    if (fds[1].revents & POLLIN) {
      const int client = accept(listener_, nullptr, nullptr);
      const int server = socket(AF_INET, SOCK_STREAM, 0);
      sockaddr_in addr{};
      addr.sin_family = AF_INET;
      addr.sin_port = htons(static_cast<uint16_t>(targetPort_));
      inet_pton(AF_INET, host_.c_str(), &addr.sin_addr);
      if (client >= 0 && server >= 0 && connect(server, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
        pairs.push_back({client, server});
      } else {
        if (client >= 0) close(client);
        if (server >= 0) close(server);
      }
    }
    if (stalled) continue;
    for (std::size_t i = 2; i < fds.size(); ++i) {
      if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      auto& p = pairs[(i - 2) / 2];
      if (p.client < 0) continue;
      const int from = fds[i].fd;
      const int to = from == p.client ? p.server : p.client;
      char buf[16384];
      const ssize_t n = read(from, buf, sizeof buf);
      if (n <= 0 || write(to, buf, static_cast<size_t>(n)) != n) {
        close(p.client);
        close(p.server);
        p.client = p.server = -1;
      }
    }
    std::vector<Pair> live;
    for (const auto& p : pairs) {
      if (p.client >= 0) live.push_back(p);
    }
    pairs.swap(live);
  }
  for (const auto& p : pairs) {
    close(p.client);
    close(p.server);
  }
}

}  // namespace QvMT4Connector::TestSupport
