// The signal texts of the sender, byte for byte, and the credential encodings made at creation.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>

#include "CommaLocale.h"
#include "LogCapture.h"
#include "connector/Globals.h"
#include "connector/Utils.h"
#include "connector/implementation/AmqpSender.h"

namespace QvMT4Connector::Implementation {
// Reaches the private texts and the decoded settings.
struct AmqpSenderTesting {
  static std::string Login(const AmqpSender& s) { return s.FormatLogin("x@y.z", "wrong", "999"); }
  static std::string Close(const AmqpSender& s, std::int32_t orderid, const char* symbol, std::int32_t cmd,
                           double volume, double closePrice, const char* comment, const char* reserve) {
    return s.FormatCloseOrder("wrong", "999", orderid, symbol, cmd, volume, closePrice, comment, reserve);
  }
  static std::string Cancel(const AmqpSender& s, std::int32_t orderid, const char* comment, const char* reserve) {
    return s.FormatCancelOpen("wrong", "999", orderid, comment, reserve);
  }
  static std::string CancelAll(const AmqpSender& s) { return s.FormatCancelAllPendingSignals(); }
  static std::string CommonData(const AmqpSender& s, std::string_view comment, std::string_view reserve) {
    return s.FormatCommonData(comment, reserve);
  }
  static std::string Comments(const AmqpSender& s, std::string_view comment, std::string_view reserve) {
    return s.formatComments(comment, reserve);
  }
  static const std::string& User(const AmqpSender& s) { return s.user; }
  static const std::string& Password(const AmqpSender& s) { return s.amqpPassword; }
  static const std::string& VirtualHost(const AmqpSender& s) { return s.virtualHost; }
  static const std::string& Exchange(const AmqpSender& s) { return s.exchange; }
};
}  // namespace QvMT4Connector::Implementation

namespace {
using QvMT4Connector::Globals;
using QvMT4Connector::Utils;
using QvMT4Connector::Implementation::AmqpSender;
using T = QvMT4Connector::Implementation::AmqpSenderTesting;
using QvMT4Connector::TestSupport::CommaLocale;
using QvMT4Connector::TestSupport::LogCapture;

// Base64(Base64(Base64("secret"))): the password field of every text below.
constexpr char kP[] = "WXpKV2FtTnRWakE9";

std::string WithP(std::string text) {
  const auto at = text.find("<P>");
  if (at != std::string::npos) text.replace(at, 3, kP);
  return text;
}

std::string Open(const AmqpSender& s, std::int32_t orderid, const char* symbol, double volume, double price,
                 const char* comment = "", const char* reserve = "") {
  return s.FormatOpenOrder("wrong", "999", orderid, symbol, 0, volume, price, 1.3, 0, "2013.06.14 10:30:00", comment,
                           reserve);
}

// The seven worked examples of the service contract (docs/protocol.md), byte for byte.
void ExpectWorkedExamples() {
  const AmqpSender s("localhost", 5672, "trader", "secret", "12345");
  const struct {
    const char* kind;
    std::function<std::string()> text;
    const char* expected;
  } examples[] = {
      {"Login", [&] { return T::Login(s); }, "Login,dHJhZGVy,<P>,12345,,"},
      {"Open",
       [&] {
         return s.FormatOpenOrder("wrong", "999", 1001, "EURUSD", 0, 0.1, 1.30512, 1.3, 0,
                                  "2013.06.14 10:30:00", "my order", "");
       },
       "Open,dHJhZGVy,<P>,12345,bXkgb3JkZXI=,,1001,EURUSD,0,0.1,1.30512,1.3,0,2013.06.14 10:30:00"},
      {"Close", [&] { return T::Close(s, 1001, "EURUSD", 0, 0.1, 1.3075, "", ""); },
       "Close,dHJhZGVy,<P>,12345,,,1001,EURUSD,0,0.1,1.3075"},
      {"Cancel", [&] { return T::Cancel(s, 1002, "", ""); }, "Cancel,dHJhZGVy,<P>,12345,,,1002"},
      {"Replace",
       [&] {
         return s.FormatModifyOrder("other@mail", "wrong", "999", 1003, 2, 1.2999, 1.29, 1.32, 1.3, 1.295, 0, "", "");
       },
       "Replace,dHJhZGVy,<P>,12345,,,1003,2,1.2999,1.29,1.32,1.3,1.295,0"},
      {"Params",
       [&] {
         return s.FormatParamsRequest("other@mail", "wrong", "999", 1.5, true, false, false, 2, false, true, false,
                                      false, "2.1");
       },
       "Params,dHJhZGVy,<P>,12345,,,1.0,2.1,1.5,True,False,False,2,False,True,False,False"},
      {"CancelAllPendingSignals", [&] { return T::CancelAll(s); }, "CancelAllPendingSignals,dHJhZGVy,<P>,12345,,"},
  };
  for (const auto& e : examples) EXPECT_EQ(e.text(), WithP(e.expected)) << e.kind;
}

TEST(SignalTexts, WorkedExamples) { ExpectWorkedExamples(); }

using SignalTextsUnderCommaLocale = CommaLocale;
TEST_F(SignalTextsUnderCommaLocale, WorkedExamples) { ExpectWorkedExamples(); }

TEST_F(SignalTextsUnderCommaLocale, NumbersKeepTheirForm) {
  const AmqpSender s("localhost", 5672, "trader", "secret", "12345");
  EXPECT_EQ(Open(s, -7, "EURUSD", 0.00001, 1e15),
            WithP("Open,dHJhZGVy,<P>,12345,,,-7,EURUSD,0,1E-05,1E+15,1.3,0,2013.06.14 10:30:00"));
  EXPECT_EQ(Open(s, 1, "EURUSD", 0.0001, 1234.5678),
            WithP("Open,dHJhZGVy,<P>,12345,,,1,EURUSD,0,0.0001,1234.5678,1.3,0,2013.06.14 10:30:00"));
  EXPECT_EQ(s.FormatParamsRequest(nullptr, nullptr, nullptr, 0.1 + 0.2, false, true, true, 1.0 / 3, true, false, true,
                                  true, "3,0"),
            WithP("Params,dHJhZGVy,<P>,12345,,,1.0,3,0,0.3,False,True,True,0.333333333333333,True,False,True,True"));
}

TEST(SignalTexts, CommentAndReserveAreBase64OfAscii) {
  const AmqpSender s("localhost", 5672, "trader", "secret", "12345");
  // One "?" per character of the ANSI code page: UTF-8 on Linux; code page 1252 under Wine, where
  // every byte of these UTF-8 sequences is a character of its own.
#ifdef _WIN32
  const char *twoByte = "Pz8=,", *outsideBmp = "Pz8/Pw==,", *cancelComment = "Pz90Pz8=";
#else
  const char *twoByte = "Pw==,", *outsideBmp = "Pw==,", *cancelComment = "P3Q/";
#endif
  const struct {
    const char* comment;
    const char* reserve;
    const char* fields;
  } cases[] = {
      {"", "", ","},
      {"my order", "", "bXkgb3JkZXI=,"},
      {"", "my order", ",bXkgb3JkZXI="},
      {"a,b", "a,b", "YSxi,YSxi"},          // a comma inside Base64 adds no field
      {"\xC3\xA9", "", twoByte},            // a two-byte character: one "?"
      {"\xF0\x9F\x98\x80", "", outsideBmp},  // a character outside the BMP: one "?"
  };
  for (const auto& c : cases) {
    EXPECT_EQ(T::Comments(s, c.comment, c.reserve), c.fields) << c.comment;
    EXPECT_EQ(T::CommonData(s, c.comment, c.reserve), WithP(std::string("dHJhZGVy,<P>,12345,") + c.fields));
  }
  EXPECT_EQ(T::Cancel(s, 5, "\xC3\xA9t\xC3\xA9", nullptr),
            WithP(std::string("Cancel,dHJhZGVy,<P>,12345,") + cancelComment + ",,5"));
}

TEST(SignalTexts, PlainFieldsGoVerbatim) {
  const AmqpSender s("localhost", 5672, "trader", "secret", "1,2");
  // A comma in the system id or the symbol is not protected and adds a field.
  EXPECT_EQ(T::Close(s, 9, "EUR,USD", 1, 2, 3, "", ""), WithP("Close,dHJhZGVy,<P>,1,2,,,9,EUR,USD,1,2,3"));
  // Absent plain texts give empty fields.
  EXPECT_EQ(T::Close(s, 9, nullptr, 1, 2, 3, "", ""), WithP("Close,dHJhZGVy,<P>,1,2,,,9,,1,2,3"));
  EXPECT_EQ(s.FormatOpenOrder(nullptr, nullptr, 1, "X", 0, 1, 1, 1, 1, nullptr, "", ""),
            WithP("Open,dHJhZGVy,<P>,1,2,,,1,X,0,1,1,1,1,"));
  EXPECT_EQ(T::Login(s), T::Login(s)) << "nothing depends on time or a counter";
}

TEST(SignalTexts, EmptyCredentialsGiveEmptyFields) {
  const AmqpSender s("localhost", 5672, "", "", nullptr);
  EXPECT_EQ(T::Login(s), "Login,,,,,");
  EXPECT_EQ(T::Cancel(s, 1, "", ""), "Cancel,,,,,,1");
}

TEST(SignalTexts, CredentialsAreEncodedFromAscii) {
  // "pässwörd" becomes "p?ssw?rd" before the three Base64 passes; the e-mail likewise.
  const AmqpSender s("localhost", 5672, "j\xC3\xB6rg@mail", "p\xC3\xA4ss", "1");
  EXPECT_EQ(T::Login(s), "Login,aj9yZ0BtYWls,WTBRNWVtTjNQVDA9,1,,");
}

TEST(SenderCreation, NeedsAnEmailAndAPassword) {
  EXPECT_THROW(AmqpSender("localhost", 5672, nullptr, "secret", "1"), std::invalid_argument);
  EXPECT_THROW(AmqpSender("localhost", 5672, "trader", nullptr, "1"), std::invalid_argument);
  try {
    AmqpSender("localhost", 5672, nullptr, "secret", "1");
  } catch (const std::exception& e) {
    EXPECT_NE(std::string(e.what()).find("e-mail"), std::string::npos) << e.what();
  }
}

TEST(SenderCreation, LogsHostPortAndRoutingKey) {
  LogCapture capture;
  const AmqpSender s("broker.example", 1234, "Trader.Name@mail.example", "secret", "12345");
  EXPECT_EQ(s.RoutingKey(), "mt4_signal.Trader!Name@mail!example.12345");
  const auto lines = capture.LinesOf("AmqpSender");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].level, Globals::LOG_DEBUG);
  EXPECT_EQ(lines[0].message, "Host:broker.example, Port:1234, routing_key:mt4_signal.Trader!Name@mail!example.12345");
}

TEST(SenderCreation, DecodesTheSignalsSettings) {
  const AmqpSender s("h", 5672, "trader", "pw", "1");
  EXPECT_EQ(T::User(s), Utils::dcd(Globals::MT4User));
  EXPECT_EQ(T::Password(s), Utils::dcd(Globals::MT4UserPassword));
  EXPECT_EQ(T::VirtualHost(s), Utils::dcd(Globals::MT4SignalsVirtualHost));
  EXPECT_EQ(T::Exchange(s), Utils::dcd(Globals::MT4SignalsExchange));
  EXPECT_NE(T::Exchange(s), Utils::dcd(Globals::MT4ReponsesExchange));
}

}  // namespace
