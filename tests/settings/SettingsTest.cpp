// The built-in broker settings and the setting decoder.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "Broker.h"
#include "connector/Globals.h"
#include "connector/Utils.h"

using QvMT4Connector::Globals;
using QvMT4Connector::Utils;
using QvMT4Connector::TestSupport::Deployment;

namespace {

// The settings built into the library are those the broker is provisioned with (scripts/deployment.env).
TEST(BuiltInSettings, DecodeToTheDeploymentValues) {
  const struct {
    const char* name;
    const char* stored;
    const char* plain;
  } settings[] = {
      {"MT4User", Globals::MT4User, Deployment::User},
      {"MT4UserPassword", Globals::MT4UserPassword, Deployment::Password},
      {"MT4SignalsVirtualHost", Globals::MT4SignalsVirtualHost, Deployment::VirtualHost},
      {"MT4ResponsesVirtualHost", Globals::MT4ResponsesVirtualHost, Deployment::VirtualHost},
      {"MT4SignalsExchange", Globals::MT4SignalsExchange, Deployment::SignalsExchange},
      {"MT4ReponsesExchange", Globals::MT4ReponsesExchange, Deployment::ResponsesExchange},
  };
  for (const auto& s : settings) EXPECT_EQ(Utils::dcd(s.stored), s.plain) << s.name;
  EXPECT_STREQ(Globals::MT4SignalsVirtualHost, Globals::MT4ResponsesVirtualHost) << "one stored text for both";
}

TEST(SettingDecoder, RoundTripsThroughTheStoredForm) {
  const std::string values[] = {"a", "quorvex", "exactly8", "nine char", "with, comma and = sign", ""};
  for (const auto& v : values) {
    const std::string stored = Utils::StoredForm(v);
    EXPECT_EQ(Utils::Base64Decode(stored).size() % 8, 0u) << v;
    EXPECT_EQ(Utils::dcd(stored), v) << v;
  }
  EXPECT_EQ(Utils::StoredForm("quorvex"), Utils::StoredForm("quorvex")) << "key and IV are fixed";
}

TEST(SettingDecoder, KeepsInnerNulsAndDropsTrailingOnes) {
  const std::string inner("ab\0cd", 5);
  EXPECT_EQ(Utils::dcd(Utils::StoredForm(inner)), inner);
  EXPECT_EQ(Utils::dcd(Utils::StoredForm(std::string("ab\0\0", 4))), "ab");
}

TEST(SettingDecoder, StoresAsciiOnly) {
  EXPECT_THROW(Utils::StoredForm("quorv\xC3\xA9x"), std::invalid_argument);
}

TEST(SettingDecoder, RejectsTextThatIsNotBase64) {
  EXPECT_THROW(Utils::dcd("not base64!"), std::invalid_argument);
  EXPECT_THROW(Utils::dcd("XBhiFgkfwXU"), std::invalid_argument);  // padding missing
}

TEST(SettingDecoder, RunsOnSeveralThreadsAtOnce) {
  const std::string stored = Utils::StoredForm("quorvex.responses");
  std::vector<std::string> results(4);
  std::vector<std::thread> threads;
  for (auto& r : results) threads.emplace_back([&r, &stored] { r = Utils::dcd(stored); });
  for (auto& t : threads) t.join();
  for (const auto& r : results) EXPECT_EQ(r, "quorvex.responses");
}

}  // namespace
