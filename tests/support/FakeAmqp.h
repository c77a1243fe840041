#pragma once
// Test doubles of the signal sender and the response receiver, installed through the factory
// seams. One FakeAmqp scripts what every fake it makes does and records what they saw.
// While it lives, the core starts from the state of a fresh library (no sender, no receiver,
// empty reply list) and the real factories are out of reach.
#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace QvMT4Connector::TestSupport {

class FakeAmqp {
 public:
  // What the fakes of one kind do; an empty text means success.
  struct Script {
    std::string createError;   // the factory throws this
    bool createNothing = false;  // the factory answers with no object
    std::string connectError;  // Connect() throws this
    std::string closeError;    // Close() throws this
  };

  // What became of one fake that a factory made.
  struct Made {
    std::string args;  // the factory's arguments joined by "|", "(null)" for an absent text
    int connects = 0;  // calls of Connect(), successful or not
    int closes = 0;    // calls of Close(), successful or not
    bool open = false;
    bool destroyed = false;
  };

  FakeAmqp();
  ~FakeAmqp();
  FakeAmqp(const FakeAmqp&) = delete;
  FakeAmqp& operator=(const FakeAmqp&) = delete;

  // Set these before the calls that should see them.
  Script sender;
  Script receiver;
  std::string sendResult = "OK";  // what the Send operations answer
  std::string sendError;          // when set, the Send operations throw it
  std::string drainError;         // when set, getAmqpResponses throws it (read at each call)
  int receiverDropsAfter = 0;     // when > 0, a receiver stops being open after that many drains

  // A reply waiting on the broker; an open receiver drains it at the next poll.
  void Publish(const std::string& reply);
  // Every receiver made so far stops being open, as when the broker closes its connection.
  void DropReceivers();

  // Sender operations in call order, e.g. "SendLogin(a@b.c,pw,sys)".
  std::vector<std::string> Calls() const;
  std::vector<Made> Senders() const;
  std::vector<Made> Receivers() const;
  // True once two threads were inside one fake object at the same time.
  bool Overlapped() const { return overlapped_.load(); }

  // Used by the fakes.
  struct Object;
  void Record(std::string call);
  void Drain(std::vector<std::string>& into);
  void Overlap() { overlapped_ = true; }
  std::mutex& Lock() const { return lock_; }

 private:
  mutable std::mutex lock_;
  std::vector<std::string> calls_;
  std::vector<std::shared_ptr<Made>> senders_;
  std::vector<std::shared_ptr<Made>> receivers_;
  std::deque<std::string> queue_;
  std::atomic<bool> overlapped_{false};
};

}  // namespace QvMT4Connector::TestSupport
