// The OS services behind Platform.h, on whichever OS the suite is built for.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <set>
#include <string>
#include <thread>

#include "platform/Platform.h"

#ifdef _WIN32
#include <windows.h>
// after windows.h
#include <objbase.h>
#undef SetCurrentDirectory  // windows.h's macro would rename the seam of Platform.h

#include "platform/windows/PlatformWindows.h"
#endif

namespace Platform = QvMT4Connector::Platform;

namespace {

bool IsUuidV4(const std::string& s) {
  if (s.size() != 36) return false;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
    if (dash != (s[i] == '-')) return false;
    if (!dash && !std::isxdigit(static_cast<unsigned char>(s[i]))) return false;
    if (!dash && std::isupper(static_cast<unsigned char>(s[i]))) return false;
  }
  return s[14] == '4' && std::string("89ab").find(s[19]) != std::string::npos;
}

TEST(Identity, UuidsAreRandomVersion4InLowerCase) {
  std::set<std::string> seen;
  for (int i = 0; i < 100; ++i) {
    const std::string u = Platform::NewUuid();
    EXPECT_TRUE(IsUuidV4(u)) << u;
    seen.insert(u);
  }
  EXPECT_EQ(seen.size(), 100u);
}

TEST(Identity, CryptoRandomFillsEveryByte) {
  // 4096 bytes that are all zero after the call would mean the buffer was not written.
  std::string a(4096, '\0'), b(4096, '\0');
  Platform::CryptoRandom(reinterpret_cast<std::uint8_t*>(a.data()), a.size());
  Platform::CryptoRandom(reinterpret_cast<std::uint8_t*>(b.data()), b.size());
  EXPECT_NE(a, std::string(4096, '\0'));
  EXPECT_NE(a, b);
  Platform::CryptoRandom(nullptr, 0);  // nothing asked, nothing done
}

TEST(Identity, ComputerNameIsNotEmpty) { EXPECT_FALSE(Platform::ComputerName().empty()); }

TEST(Identity, ThreadIdsTellThreadsApart) {
  const auto here = Platform::ThreadId();
  std::uint64_t there = here;
  std::thread([&] { there = Platform::ThreadId(); }).join();
  EXPECT_NE(here, there);
  EXPECT_EQ(here, Platform::ThreadId());
}

TEST(Folders, ExecutableDirectoryHoldsThisProgram) {
  namespace fs = std::filesystem;
  const std::string folder = Platform::ExecutableDirectory();
  ASSERT_FALSE(folder.empty());
  EXPECT_TRUE(fs::is_directory(folder)) << folder;
  EXPECT_NE(folder.back(), '\\');
  bool found = false;
  for (const auto& entry : fs::directory_iterator(folder)) {
    found = found || entry.path().stem() == "test_platform";
  }
  EXPECT_TRUE(found) << folder;
}

TEST(Folders, CurrentDirectoryIsTheProcessOne) {
  namespace fs = std::filesystem;
  EXPECT_EQ(fs::path(Platform::CurrentDirectory()), fs::current_path());
}

TEST(Folders, SeamsOverrideAndRestore) {
  const std::string realExe = Platform::ExecutableDirectory();
  const std::string realCwd = Platform::CurrentDirectory();
  Platform::Testing::SetExecutableDirectory("exe-folder");
  Platform::Testing::SetCurrentDirectory("cwd-folder");
  EXPECT_EQ(Platform::ExecutableDirectory(), "exe-folder");
  EXPECT_EQ(Platform::CurrentDirectory(), "cwd-folder");
  Platform::Testing::SetExecutableDirectory("");
  Platform::Testing::SetCurrentDirectory("");
  EXPECT_EQ(Platform::ExecutableDirectory(), realExe);
  EXPECT_EQ(Platform::CurrentDirectory(), realCwd);
}

TEST(Clock, LocalNowIsAPlausibleMoment) {
  const Platform::LocalTime t = Platform::LocalNow();
  EXPECT_GE(t.year, 2020);
  EXPECT_TRUE(t.month >= 1 && t.month <= 12);
  EXPECT_TRUE(t.day >= 1 && t.day <= 31);
  EXPECT_TRUE(t.hour >= 0 && t.hour <= 23);
  EXPECT_TRUE(t.minute >= 0 && t.minute <= 59);
  EXPECT_TRUE(t.second >= 0 && t.second <= 60);
  EXPECT_TRUE(t.millisecond >= 0 && t.millisecond <= 999);
}

TEST(Results, AllocatedCopyIsTerminatedAndOwnedByTheCaller) {
  for (const std::string& text : {std::string(), std::string("ok"), std::string(10000, 'x')}) {
    char* p = Platform::AllocateResult(text);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(std::string(p), text);
#ifdef _WIN32
    CoTaskMemFree(p);  // the host's way to release a result
#else
    std::free(p);
#endif
  }
}

TEST(Text, AsciiPassesUnchanged) {
  const std::string ascii = "user@example.com, 1.5; ~!#$%^&*()";
  EXPECT_EQ(Platform::AnsiToAscii(ascii), ascii);
  EXPECT_EQ(Platform::AnsiToUtf8(ascii), ascii);
  EXPECT_EQ(Platform::AnsiToAscii(""), "");
  EXPECT_EQ(Platform::AnsiToUtf8(""), "");
}

#ifdef _WIN32
namespace Windows = QvMT4Connector::Platform::Windows;

struct CodePageCase {
  unsigned codePage;
  const char* text;
  const char* ascii;
  const char* utf8;
};

TEST(WindowsText, EachCharacterOutsideAsciiIsOneQuestionMark) {
  const CodePageCase cases[] = {
      {1252, "caf\xE9", "caf?", "caf\xC3\xA9"},
      {1252, "\x80 5", "? 5", "\xE2\x82\xAC 5"},                    // euro sign
      {1251, "\xCF\xF0\xE8", "???", "\xD0\x9F\xD1\x80\xD0\xB8"},     // Cyrillic
      {932, "\x93\xFA\x96\x7B", "??", "\xE6\x97\xA5\xE6\x9C\xAC"},   // two double-byte characters
      {65001, "a\xF0\x9F\x98\x80z", "a?z", "a\xF0\x9F\x98\x80z"},     // a surrogate pair is one character
      {65001, "\xC3\xA9\xF0\x9F\x98\x80", "??", "\xC3\xA9\xF0\x9F\x98\x80"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Windows::ToAscii(c.codePage, c.text), c.ascii) << c.codePage << " " << c.text;
    EXPECT_EQ(Windows::ToUtf8(c.codePage, c.text), c.utf8) << c.codePage << " " << c.text;
  }
}

TEST(WindowsText, AnsiMeansTheProcessCodePage) {
  const std::string sample = "\xE9\xC0\x80 x";
  EXPECT_EQ(Platform::AnsiToAscii(sample), Windows::ToAscii(GetACP(), sample));
  EXPECT_EQ(Platform::AnsiToUtf8(sample), Windows::ToUtf8(GetACP(), sample));
}

TEST(WindowsText, UnknownCodePageIsAnError) {
  EXPECT_THROW(Windows::ToAscii(12345, "x"), std::runtime_error);
  EXPECT_THROW(Windows::ToUtf8(12345, "x"), std::runtime_error);
}

TEST(WindowsFolders, ExecutableDirectoryIsTheFolderOfTheModule) {
  char path[MAX_PATH] = {};
  ASSERT_GT(GetModuleFileNameA(nullptr, path, MAX_PATH), 0u);
  std::string expected(path);
  expected.resize(expected.find_last_of('\\'));
  EXPECT_EQ(Platform::ExecutableDirectory(), expected);
}
#endif

}  // namespace
