// Value renderings shared by signal texts and log lines.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <locale>

#include "CommaLocale.h"
#include "connector/Utils.h"

using QvMT4Connector::Utils;

namespace {

using QvMT4Connector::TestSupport::CommaLocale;

struct DoubleCase {
  double value;
  const char* text;
};

TEST_F(CommaLocale, DoubleUsesFifteenDigitGeneralForm) {
  const DoubleCase cases[] = {
      {0.1, "0.1"},
      {100, "100"},
      {2, "2"},
      {0.0, "0"},
      {-0.0, "0"},
      {-1.5, "-1.5"},
      {0.1 + 0.2, "0.3"},
      {1.0 / 3, "0.333333333333333"},
      {2.0 / 3, "0.666666666666667"},
      {0.0001, "0.0001"},
      {0.000123456, "0.000123456"},
      {0.00001, "1E-05"},
      {0.00000015, "1.5E-07"},
      {123456789012345, "123456789012345"},
      {99999999999999.9, "99999999999999.9"},
      {999999999999999.9, "1E+15"},
      {1000000000000000, "1E+15"},
      {1234567890123456, "1.23456789012346E+15"},
      {1e100, "1E+100"},
      {std::numeric_limits<double>::max(), "1.79769313486232E+308"},
      {std::numeric_limits<double>::denorm_min(), "4.94065645841247E-324"},
      {std::numeric_limits<double>::quiet_NaN(), "NaN"},
      {std::numeric_limits<double>::infinity(), "Infinity"},
      {-std::numeric_limits<double>::infinity(), "-Infinity"},
      // Further shapes: padding zeros of the integer part, negative exponents, negatives.
      {1e14, "100000000000000"},
      {1.30512, "1.30512"},
      {-0.00001, "-1E-05"},
      {1e-100, "1E-100"},
      {-1234567890123456, "-1.23456789012346E+15"},
      {12345.678, "12345.678"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Utils::FormatDouble(c.value), c.text) << "value " << c.text;
  }
}

TEST_F(CommaLocale, IntegersAndBooleans) {
  EXPECT_EQ(Utils::FormatInt(0), "0");
  EXPECT_EQ(Utils::FormatInt(-7), "-7");
  EXPECT_EQ(Utils::FormatInt(1234567), "1234567");
  EXPECT_EQ(Utils::FormatInt(std::numeric_limits<std::int32_t>::min()), "-2147483648");
  EXPECT_STREQ(Utils::FormatBool(true), "True");
  EXPECT_STREQ(Utils::FormatBool(false), "False");
}

TEST(Base64, EncodesAndDecodesRfc4648Vectors) {
  const std::pair<const char*, const char*> cases[] = {
      {"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},         {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}, {"trader", "dHJhZGVy"},
      {"my order", "bXkgb3JkZXI="}, {"?", "Pw=="},
  };
  for (const auto& [plain, encoded] : cases) {
    EXPECT_EQ(Utils::Base64Encode(plain), encoded);
    const auto bytes = Utils::Base64Decode(encoded);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), plain);
  }
  const std::string binary("\x00\xff\xfe\x80", 4);
  EXPECT_EQ(Utils::Base64Encode(binary), "AP/+gA==");
}

TEST(Base64, RejectsMalformedText) {
  for (const char* bad : {"A", "AB=C", "Zg=a", "Zm9v!A==", "Zg==Zg==", "===="}) {
    EXPECT_THROW(Utils::Base64Decode(bad), std::invalid_argument) << bad;
  }
}

TEST(EmailKey, ReplacesEveryDotOnly) {
  EXPECT_EQ(Utils::convert_email_to_key("John.Doe@Mail.example.com"), "John!Doe@Mail!example!com");
  EXPECT_EQ(Utils::convert_email_to_key(""), "");
  EXPECT_EQ(Utils::convert_email_to_key("a!b_c-D"), "a!b_c-D");
}

}  // namespace
