// The external configuration file: taking over from the built-in text, failures that leave the
// configuration as it was, thresholds, the console output.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "LogSandbox.h"
#include "connector/interface/FLogger.h"

namespace {
namespace fs = std::filesystem;
using QvMT4Connector::Interface::FLogger;
using QvMT4Connector::TestSupport::LogSandbox;

// A configuration with one appender and the root at `level`.
std::string Config(const std::string& appender, const std::string& level = "DEBUG") {
  return "<?xml version=\"1.0\"?>\n<configuration>\n<log4net>\n" + appender + "\n<root><level value=\"" + level +
         "\"/><appender-ref ref=\"Out\"/></root>\n</log4net>\n</configuration>\n";
}

// A rolling file in the element form of the settings, with names in various letter cases.
std::string RollingFile(const std::string& pattern) {
  return "<appender name=\"Out\" type=\"log4net.Appender.RollingFileAppender, log4net\">"
         "<file value=\"logs\\custom.log\"/><datePattern value=\"yyyyMMdd\"/>"
         "<param name=\"APPENDTOFILE\" value=\"True\"/><PreserveLogFileNameExtension value=\"true\"/>"
         "<layout type=\"log4net.Layout.PatternLayout\"><conversionPattern value=\"" + pattern + "\"/></layout>"
         "</appender>";
}

class Configuration : public ::testing::Test {
 protected:
  std::string BuiltInFile() const { return LogSandbox::ReadFile(sandbox.LogFolder() / "QvMT4Connector_2013-05-14.log"); }
  std::string CustomFile() const { return LogSandbox::ReadFile(sandbox.Folder() / "logs" / "custom20130514.log"); }
  void WriteConfig(const std::string& text) const { LogSandbox::WriteFile(sandbox.ConfigFile(), text); }

  LogSandbox sandbox;
};

TEST_F(Configuration, AnExternalFileTakesOverFromTheBuiltInText) {
  WriteConfig(Config(RollingFile("%level %logger %message%newline")));
  FLogger::Create("QvMT4")->Info("hello");
  EXPECT_EQ(CustomFile(), "INFO QvMT4 hello\r\n");
  EXPECT_FALSE(fs::exists(sandbox.Folder() / "experts" / "logs"));
  EXPECT_TRUE(sandbox.Diagnostics().empty());
}

TEST_F(Configuration, AnEmptyExternalFileAtAFreshStartWritesNothing) {
  WriteConfig("");
  auto log = FLogger::Create("QvMT4");
  log->Fatal("nowhere");
  EXPECT_FALSE(log->IsFatalEnabled());
  EXPECT_FALSE(fs::exists(sandbox.Folder() / "experts" / "logs"));
  EXPECT_TRUE(sandbox.Diagnosed("left as it was"));
}

TEST_F(Configuration, AFaultyExternalFileLeavesTheConfigurationAsItWas) {
  const std::pair<const char*, std::string> cases[] = {
      {"empty", ""},
      {"not well-formed", "<log4net><root>"},
      {"no log4net element", "<configuration/>"},
      {"two log4net elements", "<c><log4net/><log4net/></c>"},
      {"unknown appender type", Config("<appender name=\"Out\" type=\"log4net.Appender.SmtpAppender\"/>")},
      {"missing appender", Config("<appender name=\"Other\" type=\"log4net.Appender.ConsoleAppender\"/>")},
      {"unknown level", Config(RollingFile("%m%n"), "LOUD")},
      {"bad boolean", Config("<appender name=\"Out\" type=\"log4net.Appender.RollingFileAppender\"><file value=\"x.log\"/>"
                             "<appendToFile value=\"yes\"/><layout type=\"log4net.Layout.PatternLayout\"/></appender>")},
      {"no layout", Config("<appender name=\"Out\" type=\"log4net.Appender.RollingFileAppender\"><file value=\"x.log\"/></appender>")},
  };
  for (const auto& [name, text] : cases) {
    SCOPED_TRACE(name);
    fs::remove(sandbox.ConfigFile());
    FLogger::Create("QvMT4");  // the built-in configuration
    WriteConfig(text);
    const std::string before = BuiltInFile();
    FLogger::Create("QvMT4")->Info(name);
    EXPECT_EQ(BuiltInFile(), before + "2013-05-14 09:03:07,045|INFO |QvMT4|" + name + "\r\n");
    EXPECT_TRUE(sandbox.Diagnosed("left as it was"));
  }
  EXPECT_FALSE(fs::exists(sandbox.Folder() / "logs"));
}

TEST_F(Configuration, AppearingAndDisappearingTakeEffectAtTheNextConstruction) {
  auto log = FLogger::Create("QvMT4");
  log->Info("a");
  WriteConfig(Config(RollingFile("%message%newline")));
  log->Info("b");  // nothing changes until a logger is made
  FLogger::Create("Receiver");
  log->Info("c");
  fs::remove(sandbox.ConfigFile());
  FLogger::Create("Receiver");
  log->Info("d");
  EXPECT_EQ(BuiltInFile(),
            "2013-05-14 09:03:07,045|INFO |QvMT4|a\r\n"
            "2013-05-14 09:03:07,045|INFO |QvMT4|b\r\n"
            "2013-05-14 09:03:07,045|INFO |QvMT4|d\r\n");
  EXPECT_EQ(CustomFile(), "c\r\n");
}

TEST_F(Configuration, TheRootLevelIsTheThreshold) {
  WriteConfig(Config(RollingFile("%p %m%n"), "WARN"));
  auto log = FLogger::Create("QvMT4");
  EXPECT_FALSE(log->IsDebugEnabled());
  EXPECT_FALSE(log->IsInfoEnabled());
  EXPECT_TRUE(log->IsWarnEnabled());
  log->Info("dropped");
  log->logMT4(1, 0, "s", "dropped");
  log->Warn("kept");
  log->logMT4(0, 1, "s", "m");
  EXPECT_EQ(CustomFile(), "WARN kept\r\nERROR ZaRE4: ErrorCode:1 Status: s Message: m\r\n");

  WriteConfig(Config(RollingFile("%p %m%n"), "OFF"));
  FLogger::Create("QvMT4");
  EXPECT_FALSE(log->IsFatalEnabled());
}

TEST_F(Configuration, UnknownConversionsAndSettingsAreReportedAndTheRestApplies) {
  WriteConfig(Config(
      "<appender name=\"Out\" type=\"log4net.Appender.RollingFileAppender\">"
      "<file value=\"logs\\custom.log\"/><param name=\"DatePattern\" value=\"yyyyMMdd\"/>"
      "<param name=\"preserveLogFileNameExtension\" value=\"true\"/><lockingModel type=\"x\"/>"
      "<layout type=\"log4net.Layout.PatternLayout\"><param name=\"ConversionPattern\" value=\"%foo %message%newline\"/>"
      "</layout></appender>"));
  FLogger::Create("QvMT4")->Info("m");
  EXPECT_EQ(CustomFile(), "%foo m\r\n");
  EXPECT_TRUE(sandbox.Diagnosed("unknown conversion \"%foo\""));
  EXPECT_TRUE(sandbox.Diagnosed("\"lockingModel\" is not supported"));
}

TEST_F(Configuration, AppendToFileFalseStartsTheFileAnew) {
  LogSandbox::WriteFile(sandbox.Folder() / "logs" / "custom20130514.log", "old\r\n");
  WriteConfig(Config(
      "<appender name=\"Out\" type=\"log4net.Appender.RollingFileAppender\">"
      "<file value=\"logs\\custom.log\"/><datePattern value=\"yyyyMMdd\"/><appendToFile value=\"false\"/>"
      "<preserveLogFileNameExtension value=\"true\"/>"
      "<layout type=\"log4net.Layout.PatternLayout\"><conversionPattern value=\"%m%n\"/></layout></appender>"));
  FLogger::Create("QvMT4")->Info("new");
  EXPECT_EQ(CustomFile(), "new\r\n");
}

TEST_F(Configuration, AConsoleOutputWritesToStandardOutput) {
  WriteConfig(Config(
      "<appender name=\"Out\" type=\"log4net.Appender.ConsoleAppender\">"
      "<layout type=\"log4net.Layout.PatternLayout\"><conversionPattern value=\"%-5level|%logger|%m%n\"/></layout>"
      "</appender>"));
  auto log = FLogger::Create("QvMT4");
  ::testing::internal::CaptureStdout();
  log->Info("to the console");
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "INFO |QvMT4|to the console\r\n");
  EXPECT_FALSE(fs::exists(sandbox.Folder() / "experts" / "logs"));
}

}  // namespace
