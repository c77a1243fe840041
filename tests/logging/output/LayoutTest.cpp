// The line layout: log4net pattern conversions and .NET date formats.
#include <gtest/gtest.h>

#include <string>

#include "LogSandbox.h"
#include "connector/implementation/PatternLayout.h"

namespace {
using QvMT4Connector::Implementation::LogEvent;
using QvMT4Connector::Implementation::LogLevel;
using QvMT4Connector::Implementation::PatternLayout;
using QvMT4Connector::TestSupport::At;
using QvMT4Connector::TestSupport::LogSandbox;

struct LayoutCase {
  const char* pattern;
  const char* line;
};

std::string Render(const char* pattern, const LogEvent& event) {
  std::string out;
  PatternLayout(pattern).Render(event, out);
  return out;
}

LogEvent Saturday() {
  LogEvent e;
  e.time = At(2013, 5, 4, 9, 3, 7, 45);
  e.level = LogLevel::Info;
  e.logger = "QvMT4";
  e.message = "sent";
  e.thread = 42;
  return e;
}

TEST(Layout, ConversionsPaddingAndTruncation) {
  LogSandbox sandbox;
  const LayoutCase cases[] = {
      {"%date|%-5p|%logger|%message%newline", "2013-05-04 09:03:07,045|INFO |QvMT4|sent\r\n"},
      {"%d|%p|%c|%m|%t%n", "2013-05-04 09:03:07,045|INFO|QvMT4|sent|42\r\n"},
      {"%level/%thread", "INFO/42"},
      {"[%6p]", "[  INFO]"},
      {"[%-7level]", "[INFO   ]"},
      {"[%.3logger]", "[MT4]"},
      {"[%-8.3c]", "[MT4     ]"},
      {"[%2m]", "[sent]"},
      {"100%% %m", "100% sent"},
      {"plain text", "plain text"},
      {"", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pattern);
    EXPECT_EQ(Render(c.pattern, Saturday()), c.line);
  }
  EXPECT_TRUE(sandbox.Diagnostics().empty());
}

TEST(Layout, DatesInDotNetFormats) {
  const LayoutCase cases[] = {
      {"%date{HH:mm:ss}", "09:03:07"},
      {"%date{yyyyMMdd}", "20130504"},
      {"%d{dd MMM yyyy}", "04 May 2013"},
      {"%d{dddd d/M/yy}", "Saturday 4/5/13"},
      {"%d{ddd MMMM}", "Sat May"},
      {"%d{hh:mm tt}", "09:03 AM"},
      {"%d{H:m:s}", "9:3:7"},
      {"%d{fff|ff|f|ffff}", "045|04|0|0450"},
      {"%d{ISO8601}", "2013-05-04 09:03:07,045"},
      {"%d{ABSOLUTE}", "09:03:07,045"},
      {"%d{DATE}", "04 May 2013 09:03:07,045"},
      {"%d{'at' HH\\h \"o'clock\"}", "at 09h o'clock"},
      {"%d{'_'yyyy-MM-dd}", "_2013-05-04"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pattern);
    EXPECT_EQ(Render(c.pattern, Saturday()), c.line);
  }

  LogEvent evening = Saturday();
  evening.time = At(2012, 2, 29, 21, 5, 0, 0);
  EXPECT_EQ(Render("%d{h tt dddd s.FFF}", evening), "9 PM Wednesday 0");
  evening.time.millisecond = 500;
  EXPECT_EQ(Render("%d{s.FFF}", evening), "0.5");
}

TEST(Layout, AnErrorTextFollowsTheWholeLine) {
  LogEvent e = Saturday();
  e.errorText = "broken pipe\r\nat send";
  EXPECT_EQ(Render("%p|%m%n", e), "INFO|sent\r\nbroken pipe\r\nat send\r\n");
  EXPECT_EQ(Render("%m [%t]", e), "sent [42]broken pipe\r\nat send\r\n");
}

TEST(Layout, UnknownConversionsAreReportedAndWrittenAsText) {
  const LayoutCase cases[] = {
      {"%foo|%m", "%foo|sent"},
      {"%-5x{opt}|%m", "%-5x{opt}|sent"},
      {"%5|%m", "%5|sent"},
      {"%m%", "sent%"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pattern);
    LogSandbox sandbox;
    EXPECT_EQ(Render(c.pattern, Saturday()), c.line);
    ASSERT_EQ(sandbox.Diagnostics().size(), 1u);
    EXPECT_NE(sandbox.Diagnostics()[0].find("unknown conversion"), std::string::npos);
  }
}

}  // namespace
