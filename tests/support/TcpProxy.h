#pragma once
// A TCP forwarder on 127.0.0.1 that a test controls: it passes bytes both ways until told to stall,
// then holds every connection open without reading or writing, like a peer that stopped answering.
#include <atomic>
#include <mutex>
#include <string>
#include <thread>

namespace QvMT4Connector::TestSupport {

class TcpProxy {
 public:
  TcpProxy(std::string targetHost, int targetPort);
  ~TcpProxy();
  TcpProxy(const TcpProxy&) = delete;
  TcpProxy& operator=(const TcpProxy&) = delete;

  int Port() const { return port_; }
  void Stall() { stalled_ = true; }

 private:
  void run();
  std::string host_;
  int targetPort_;
  int listener_ = -1;
  int wake_[2] = {-1, -1};
  int port_ = 0;
  std::atomic<bool> stalled_{false};
  std::thread thread_;
};

}  // namespace QvMT4Connector::TestSupport
