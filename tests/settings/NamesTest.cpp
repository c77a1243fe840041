// The broker names derived from the login e-mail and the system id.
#include <gtest/gtest.h>

#include <string>

#include "LogCapture.h"
#include "connector/Globals.h"
#include "connector/implementation/AmqpReceiver.h"
#include "connector/implementation/AmqpSender.h"
#include "platform/Platform.h"

namespace {
using QvMT4Connector::Globals;
using QvMT4Connector::Implementation::AmqpReceiver;
using QvMT4Connector::Implementation::AmqpSender;
using QvMT4Connector::TestSupport::LogCapture;

constexpr std::size_t kUuidLength = 36;

// A random (version 4) UUID in its 8-4-4-4-12 lowercase form.
bool IsUuid(const std::string& text) {
  if (text.size() != kUuidLength) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
    if (dash != (c == '-')) return false;
    if (!dash && !((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return text[14] == '4' && std::string("89ab").find(text[19]) != std::string::npos;
}

TEST(RoutingKey, EmailKeyAndSystemId) {
  const struct {
    const char* email;
    const char* systemId;
    const char* key;
  } cases[] = {
      {"John.Doe@Mail.example", "12345", "mt4_signal.John!Doe@Mail!example.12345"},
      {"", "12345", "mt4_signal..12345"},
      {"trader", "", "mt4_signal.trader."},
      {"trader", nullptr, "mt4_signal.trader."},
      {"trader", "sys.1", "mt4_signal.trader.sys.1"},  // a dot in the system id stays
  };
  for (const auto& c : cases) {
    EXPECT_EQ(AmqpSender("h", 5672, c.email, "pw", c.systemId).RoutingKey(), c.key) << c.email;
  }
}

TEST(QueueName, PrefixEmailKeyComputerSystemIdAndUuid) {
  const AmqpReceiver r("h", 5672, "John.Doe@Mail.example", "12345");
  const std::string& name = r.QueueName();
  const std::string expectedStart = "mt4_client_John!Doe@Mail!example_" + QvMT4Connector::Platform::ComputerName() +
                                    "_12345_";
  ASSERT_EQ(name.size(), expectedStart.size() + kUuidLength) << name;
  EXPECT_EQ(name.substr(0, expectedStart.size()), expectedStart);
  EXPECT_TRUE(IsUuid(name.substr(expectedStart.size()))) << name;
  EXPECT_EQ(r.BindingKey(), "tsqv.response.human.*.12345");
}

TEST(QueueName, EveryReceiverGetsItsOwnQueue) {
  const AmqpReceiver first("h", 5672, "trader", "12345");
  const AmqpReceiver second("h", 5672, "trader", "12345");
  const std::string& a = first.QueueName();
  const std::string& b = second.QueueName();
  ASSERT_EQ(a.size(), b.size());
  const std::size_t stem = a.size() - kUuidLength;
  EXPECT_EQ(a.substr(0, stem), b.substr(0, stem));
  EXPECT_NE(a.substr(stem), b.substr(stem));
  EXPECT_EQ(first.BindingKey(), second.BindingKey()) << "each reply reaches both queues";
}

TEST(QueueName, EmptyEmailAndSystemId) {
  const AmqpReceiver r("h", 5672, "", "");
  EXPECT_EQ(r.QueueName().rfind("mt4_client__", 0), 0u) << r.QueueName();
  EXPECT_EQ(r.BindingKey(), "tsqv.response.human.*.");
  const AmqpReceiver absent("h", 5672, nullptr, nullptr);
  EXPECT_EQ(absent.QueueName().rfind("mt4_client__", 0), 0u) << absent.QueueName();
  EXPECT_EQ(absent.BindingKey(), "tsqv.response.human.*.");
}

TEST(QueueName, ReceiverCreationLogsItsNames) {
  LogCapture capture;
  const AmqpReceiver r("unreachable.invalid", Globals::QvAmqpPort, "trader", "sys.1");
  EXPECT_EQ(r.BindingKey(), "tsqv.response.human.*.sys.1");
  const auto lines = capture.LinesOf("Receiver");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].level, Globals::LOG_INFO);
  EXPECT_EQ(lines[0].message, "Host:unreachable.invalid, Port:5672, QueueName:" + r.QueueName() +
                                  ", BindingKey:tsqv.response.human.*.sys.1");
}

}  // namespace
