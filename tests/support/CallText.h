#pragma once
// Renders a call and its arguments as one text, e.g. "SendLogin(a@b.c,pw,sys)", so a test can
// compare what a double received with one string. Absent texts show as "(null)"; numbers and
// booleans use the library's own renderings.
#include <cstdint>
#include <string>

#include "connector/Utils.h"

namespace QvMT4Connector::TestSupport {

inline std::string ArgText(const char* s) { return s ? s : "(null)"; }
inline std::string ArgText(const std::string& s) { return s; }
inline std::string ArgText(std::int32_t v) { return Utils::FormatInt(v); }
inline std::string ArgText(double v) { return Utils::FormatDouble(v); }
inline std::string ArgText(bool v) { return Utils::FormatBool(v); }

template <class... Args>
std::string Joined(const char* separator, const Args&... args) {
  std::string out;
  bool first = true;
  ((out += (first ? "" : separator) + ArgText(args), first = false), ...);
  return out;
}

template <class... Args>
std::string CallText(const char* name, const Args&... args) {
  return std::string(name) + "(" + Joined(",", args...) + ")";
}

}  // namespace QvMT4Connector::TestSupport
