#pragma once
// The Windows text conversions for any code page; the library uses them with the process's
// ANSI code page, the tests also with code pages that the test machine's one does not cover.
#include <string>
#include <string_view>

namespace QvMT4Connector::Platform::Windows {
// Every character outside ASCII becomes one '?' (a surrogate pair too). Both throw
// std::runtime_error when Windows cannot convert (an unknown code page).
std::string ToAscii(unsigned codePage, std::string_view text);
std::string ToUtf8(unsigned codePage, std::string_view text);
}  // namespace QvMT4Connector::Platform::Windows
