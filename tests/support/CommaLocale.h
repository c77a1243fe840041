#pragma once
// A fixture that runs each test under a process locale whose decimal separator is ",", so the
// tests show that numbers render the same whatever the regional settings.
#include <gtest/gtest.h>

#include <clocale>
#include <locale>
#include <string>

namespace QvMT4Connector::TestSupport {

class CommaLocale : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = std::setlocale(LC_ALL, nullptr);
#ifdef _WIN32
    // The Windows C runtime names its locales its own way; libstdc++ there has no named locales.
    ASSERT_NE(std::setlocale(LC_ALL, "German_Germany.1252"), nullptr);
#else
    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr) << "de_DE.UTF-8 missing: run scripts/setup.sh";
    std::locale::global(std::locale("de_DE.UTF-8"));
#endif
    ASSERT_EQ(std::string(std::localeconv()->decimal_point), ",");
  }
  void TearDown() override {
    std::setlocale(LC_ALL, previous_.c_str());
    std::locale::global(std::locale::classic());
  }

 private:
  std::string previous_;
};

}  // namespace QvMT4Connector::TestSupport
