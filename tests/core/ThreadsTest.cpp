// Several Expert Advisors share the one core from their own threads. Every kind of call here
// overlaps every other: the core must never let two threads into one sender or receiver (the
// fakes notice, and ThreadSanitizer reports their unguarded counters), never mix the
// credentials of two QvInit calls, and hand out each reply exactly once.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "FakeAmqp.h"
#include "connector/implementation/QvMT4.h"

namespace QvMT4Connector {
namespace {
using Implementation::QvMT4;
using TestSupport::FakeAmqp;

constexpr int kThreads = 4;
constexpr int kIterations = 400;

bool isPublished(const std::string& reply) { return reply.rfind("r:", 0) == 0 || reply.rfind("MT4002:", 0) == 0; }

// Whether factory arguments such as "h2|5672|e2|p2|s2" all come from the same thread's QvInit.
bool fromOneInit(const std::string& args, const std::string& prefixes) {
  std::istringstream fields(args);
  std::string field, expected;
  for (std::size_t i = 0; std::getline(fields, field, '|'); ++i) {
    if (i == 1) {
      if (field != "5672") return false;
      continue;
    }
    const std::size_t p = i == 0 ? 0 : i - 1;
    if (p >= prefixes.size() || field.size() < 2 || field[0] != prefixes[p]) return false;
    if (i == 0) expected = field.substr(1);
    if (field.substr(1) != expected) return false;
  }
  return !expected.empty();
}

TEST(CoreThreads, OverlappingCallsStaySerialisedAndLoseNoReply) {
  FakeAmqp fake;
  fake.receiverDropsAfter = 3;  // receivers keep dropping, so polls reconnect too
  QvMT4 core;

  std::vector<std::vector<std::string>> taken(kThreads);
  std::vector<int> published(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      const std::string n = std::to_string(t);
      const std::string host = "h" + n, email = "e" + n, password = "p" + n, systemId = "s" + n;
      for (int i = 0; i < kIterations; ++i) {
        const std::string tag = n + ":" + std::to_string(i);
        try {
          switch ((i + t) % 8) {
            case 0: core.Init(host.c_str(), email.c_str(), password.c_str(), systemId.c_str(), 1, "v"); break;
            case 1:
              core.QvOrderOpen(email.c_str(), password.c_str(), systemId.c_str(), i, "EURUSD", 0, 0.1, 1, 0.9, 1.1,
                               "ts", "c", "");
              break;
            case 2:
              fake.Publish((i % 50 == 2 ? "MT4002:" : "r:") + tag);
              ++published[t];
              break;
            case 3: core.QvReadResponses(); break;
            case 4:
            case 6: {
              std::string r = core.QvNextResponse();
              if (!r.empty()) taken[t].push_back(std::move(r));
              break;
            }
            case 5:
              core.ParamsRequest(email.c_str(), password.c_str(), systemId.c_str(), 1, true, false, false, 5, false,
                                 false, false, false, "v");
              break;
            default:
              if (i % 40 == 7) {
                core.DeInit();
              } else {
                core.QvOrderModify(email.c_str(), password.c_str(), systemId.c_str(), i, 0, 1, 0.9, 1.1, 1, 0.9,
                                   1.1, "c", "");
              }
          }
        } catch (const std::exception&) {
          // Events before the first QvInit of any thread fail: no sender exists yet.
        }
      }
    });
  }
  for (auto& th : threads) th.join();

  // Collect what is still waiting; reconnections may add their status texts first.
  std::vector<std::string> rest;
  for (int round = 0; round < 20; ++round) {
    const int waiting = core.QvReadResponses();
    for (std::string r = core.QvNextResponse(); !r.empty(); r = core.QvNextResponse()) rest.push_back(r);
    if (waiting == 0) break;
  }
  taken.push_back(rest);

  EXPECT_FALSE(fake.Overlapped());

  std::map<std::string, int> seen;
  for (auto& list : taken)
    for (auto& r : list)
      if (isPublished(r)) ++seen[r];
  int total = 0;
  for (int p : published) total += p;
  EXPECT_EQ(static_cast<int>(seen.size()), total);
  for (auto& [reply, count] : seen) EXPECT_EQ(count, 1) << reply;

  // Every sender and receiver was made from the credentials of one single QvInit.
  EXPECT_GE(fake.Senders().size(), 1u);
  for (auto& s : fake.Senders()) EXPECT_TRUE(fromOneInit(s.args, "heps")) << s.args;
  for (auto& r : fake.Receivers()) EXPECT_TRUE(fromOneInit(r.args, "hes")) << r.args;
}

}  // namespace
}  // namespace QvMT4Connector
