// Built with other stored forms than the library's defaults (see CMakeLists.txt).
#include <gtest/gtest.h>

#include <string>

#include "connector/Globals.h"
#include "connector/Utils.h"

using QvMT4Connector::Globals;
using QvMT4Connector::Utils;

TEST(StoredSettings, OtherStoredFormsDecodeToTheirValues) {
  EXPECT_EQ(Utils::dcd(Globals::MT4User), "other_user");
  EXPECT_EQ(Utils::dcd(Globals::MT4UserPassword), "p@ss w0rd, long enough");
  EXPECT_EQ(Utils::dcd(Globals::MT4SignalsVirtualHost), "other_vhost");
  EXPECT_EQ(Utils::dcd(Globals::MT4ResponsesVirtualHost), "other_vhost");
  EXPECT_EQ(Utils::dcd(Globals::MT4SignalsExchange), "other.signals");
  EXPECT_EQ(Utils::dcd(Globals::MT4ReponsesExchange), "other.responses");
}
