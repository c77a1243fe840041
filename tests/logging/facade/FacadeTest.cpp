// The named-logger facade: levels, the Expert Advisor's log call, format filling and its failures.
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "LogCapture.h"
#include "LogSandbox.h"
#include "connector/Globals.h"
#include "connector/implementation/LogTesting.h"
#include "connector/interface/FLogger.h"

namespace {
using QvMT4Connector::Globals;
using QvMT4Connector::Interface::FLogger;
using QvMT4Connector::Interface::IFormatProvider;
using QvMT4Connector::Interface::ILogger;
using QvMT4Connector::Interface::LogValue;
using QvMT4Connector::TestSupport::LogCapture;
using QvMT4Connector::TestSupport::LogLine;
using QvMT4Connector::TestSupport::LogSandbox;

class Facade : public ::testing::Test {
 protected:
  // The one line written since the test began.
  LogLine OnlyLine() const {
    const auto lines = capture.Lines();
    EXPECT_EQ(lines.size(), 1u);
    return lines.empty() ? LogLine{0, "", ""} : lines.front();
  }

  LogSandbox sandbox;
  LogCapture capture;
  std::shared_ptr<ILogger> log = FLogger::Create("QvMT4");
};

struct Mt4Case {
  std::int32_t logLevel;
  std::int32_t writtenLevel;
  const char* message;
};

TEST_F(Facade, LogMT4PicksLevelAndFormatFromTheLevelNumber) {
  const Mt4Case cases[] = {
      {1, Globals::LOG_DEBUG, "ZaRE4: ErrorCode:200 : Status: OK Message: sent"},
      {2, Globals::LOG_INFO, "ZaRE4: ErrorCode:200 Status: OK Message: sent"},
      {3, Globals::LOG_WARN, "ZaRE4: ErrorCode:200 Status: OK Message: sent"},
      {4, Globals::LOG_ERROR, "ZaRE4: ErrorCode:200 Status: OK Message: sent"},
      {5, Globals::LOG_FATAL, "ZaRE4: ErrorCode:200 Status: OK Message: sent"},
      {0, Globals::LOG_ERROR, "ZaRE4: ErrorCode:200 Status: OK Message: sent"},
      {6, Globals::LOG_ERROR, "ZaRE4: ErrorCode:200 Status: OK Message: sent"},
      {-1, Globals::LOG_ERROR, "ZaRE4: ErrorCode:200 Status: OK Message: sent"},
      {INT_MIN, Globals::LOG_ERROR, "ZaRE4: ErrorCode:200 Status: OK Message: sent"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.logLevel);
    capture.Clear();
    log->logMT4(c.logLevel, 200, "OK", "sent");
    const LogLine line = OnlyLine();
    EXPECT_EQ(line.level, c.writtenLevel);
    EXPECT_EQ(line.logger, "QvMT4");
    EXPECT_EQ(line.message, c.message);
  }
}

struct Mt4ValueCase {
  std::int32_t errorCode;
  const char* status;
  const char* message;
  const char* written;
};

TEST_F(Facade, LogMT4WritesItsValuesAsGiven) {
  const Mt4ValueCase cases[] = {
      {-300, "OK", "sent", "ZaRE4: ErrorCode:-300 Status: OK Message: sent"},
      {200, "{0}", "{1}{{x}", "ZaRE4: ErrorCode:200 Status: {0} Message: {1}{{x}"},
      {200, "", "sent", "ZaRE4: ErrorCode:200 Status:  Message: sent"},
      {INT_MIN, "a}", "", "ZaRE4: ErrorCode:-2147483648 Status: a} Message: "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.written);
    capture.Clear();
    log->logMT4(Globals::LOG_WARN, c.errorCode, c.status, c.message);
    EXPECT_EQ(OnlyLine().message, c.written);
  }
}

// One operation of a family, with the message it must write.
struct Operation {
  std::string name;
  std::int32_t level;
  std::function<void(ILogger&)> call;
  std::string written;
};

#define QV_FAMILY(L, LEVEL)                                                                                  \
  {#L, LEVEL, [](ILogger& l) { l.L("plain"); }, "plain"},                                                    \
      {#L " with error", LEVEL, [](ILogger& l) { l.L("failed", std::runtime_error("boom")); },              \
       "failed\r\nboom"},                                                                                    \
      {#L "Format args", LEVEL, [](ILogger& l) { l.L##Format("a{0}{1}", {1, "b"}); }, "a1b"},               \
      {#L "Format 1", LEVEL, [](ILogger& l) { l.L##Format("<{0}>", true); }, "<True>"},                     \
      {#L "Format 2", LEVEL, [](ILogger& l) { l.L##Format("{1}{0}", 0.5, "x"); }, "x0.5"},                  \
      {#L "Format 3", LEVEL, [](ILogger& l) { l.L##Format("{2}{1}{0}", 1, 2, 3); }, "321"},                 \
      {#L "Format provider", LEVEL, [](ILogger& l) { l.L##Format(Upper(), "{0}!", {"up"}); }, "[up]!"},

// A culture that shows every value in brackets.
class Brackets : public IFormatProvider {
 public:
  std::string Render(const LogValue& value) const override {
    return "[" + std::string(value.kind() == LogValue::Kind::Text ? value.text() : "?") + "]";
  }
};
const IFormatProvider& Upper() {
  static const Brackets provider;
  return provider;
}

TEST_F(Facade, EveryOperationWritesAtTheLevelOfItsName) {
  const std::vector<Operation> operations = {
      QV_FAMILY(Debug, Globals::LOG_DEBUG) QV_FAMILY(Info, Globals::LOG_INFO) QV_FAMILY(Warn, Globals::LOG_WARN)
          QV_FAMILY(Error, Globals::LOG_ERROR) QV_FAMILY(Fatal, Globals::LOG_FATAL)};
  ASSERT_EQ(operations.size(), 35u);
  for (const auto& op : operations) {
    SCOPED_TRACE(op.name);
    capture.Clear();
    op.call(*log);
    const LogLine line = OnlyLine();
    EXPECT_EQ(line.level, op.level);
    EXPECT_EQ(line.message, op.written);
  }
}
#undef QV_FAMILY

struct FillCase {
  const char* format;
  std::vector<LogValue> values;
  const char* written;
};

TEST_F(Facade, FormatsFillNumberedPlaceholdersWithNeutralForms) {
  const std::string braces = "{1}{{";
  const FillCase cases[] = {
      {"{0}+{1}={2}", {1, 2.5, true}, "1+2.5=True"},
      {"{{0}} {0}", {"x"}, "{0} x"},
      {"}}{{", {}, "}{"},
      {"{1}{0}{1}", {"a", "b"}, "bab"},
      {"{0}", {braces}, "{1}{{"},
      {"{0}|{1}|{2}", {0.5, 1e-05, 1e15}, "0.5|1E-05|1E+15"},
      {"{0} {1}", {false, std::int32_t{-300}}, "False -300"},
      {"[{0}]", {static_cast<const char*>(nullptr)}, "[]"},
      {"{00}{01}", {"z", "y"}, "zy"},
      {"no placeholders", {}, "no placeholders"},
      {"", {}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.format);
    capture.Clear();
    log->InfoFormat(c.format, c.values);
    EXPECT_EQ(OnlyLine().message, c.written);
  }
}

TEST_F(Facade, AFormatThatCannotBeFilledWritesAMarkerAtTheRequestedLevel) {
  const char* formats[] = {"x {1}", "open {", "close }", "{x}", "{0", "{}", "{-1}", "{ 0}", "{99999999999}"};
  for (const char* format : formats) {
    SCOPED_TRACE(format);
    capture.Clear();
    EXPECT_NO_THROW(log->WarnFormat(format, LogValue("a")));
    const LogLine line = OnlyLine();
    EXPECT_EQ(line.level, Globals::LOG_WARN);
    EXPECT_NE(line.message.find(std::string("\"") + format + "\""), std::string::npos) << line.message;
    EXPECT_NE(line.message.find("[a]"), std::string::npos) << line.message;
  }
}

TEST_F(Facade, MessagesOfEveryKindHaveATextForm) {
  const std::pair<LogValue, const char*> cases[] = {
      {LogValue(static_cast<const char*>(nullptr)), "(null)"},
      {LogValue(nullptr), "(null)"},
      {LogValue(""), ""},
      {LogValue(42), "42"},
      {LogValue(0.5), "0.5"},
      {LogValue(true), "True"},
  };
  for (const auto& [message, written] : cases) {
    SCOPED_TRACE(written);
    capture.Clear();
    log->Info(message);
    EXPECT_EQ(OnlyLine().message, written);
  }
}

class ThrowingProvider : public IFormatProvider {
 public:
  std::string Render(const LogValue&) const override { throw std::runtime_error("culture broken"); }
};

TEST_F(Facade, AFailingCultureGivesTheMarkerAndNothingReachesTheCaller) {
  EXPECT_NO_THROW(log->ErrorFormat(ThrowingProvider(), "v={0}", {7}));
  const LogLine line = OnlyLine();
  EXPECT_EQ(line.level, Globals::LOG_ERROR);
  EXPECT_NE(line.message.find("culture broken"), std::string::npos) << line.message;
  EXPECT_NE(line.message.find("[7]"), std::string::npos) << line.message;
}

class CountingProvider : public IFormatProvider {
 public:
  std::string Render(const LogValue&) const override {
    ++calls;
    return "";
  }
  mutable int calls = 0;
};

TEST_F(Facade, DisabledLevelsWriteNothingAndFormatNothing) {
  EXPECT_TRUE(log->IsDebugEnabled());
  EXPECT_TRUE(log->IsFatalEnabled());

  QvMT4Connector::Implementation::LogTesting::Reset();  // unconfigured: no level enabled
  EXPECT_FALSE(log->IsDebugEnabled());
  EXPECT_FALSE(log->IsInfoEnabled());
  EXPECT_FALSE(log->IsWarnEnabled());
  EXPECT_FALSE(log->IsErrorEnabled());
  EXPECT_FALSE(log->IsFatalEnabled());
  CountingProvider provider;
  log->FatalFormat(provider, "{0}", {1});
  log->logMT4(5, 1, "s", "m");
  log->Fatal("m", std::runtime_error("e"));
  EXPECT_EQ(provider.calls, 0);
  EXPECT_TRUE(capture.Lines().empty());
}

TEST_F(Facade, LoggersOfOneNameShareTheLibraryLogger) {
  auto again = FLogger::Create("QvMT4");
  auto other = FLogger::Create("qvmt4");
  EXPECT_NE(again.get(), log.get());
  EXPECT_EQ(again->Logger(), log->Logger());
  EXPECT_NE(other->Logger(), log->Logger());

  log->Info("one");
  again->Info("two");
  other->Info("three");
  const auto lines = capture.Lines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].logger, "QvMT4");
  EXPECT_EQ(lines[1].logger, "QvMT4");
  EXPECT_EQ(lines[2].logger, "qvmt4");
}

}  // namespace
