#pragma once
// The logging's own diagnostic channel: failures of configuration and output that no caller sees.
#include <string>
#include <string_view>

#include "platform/Platform.h"

namespace QvMT4Connector::Implementation {

inline void LogDiagnostic(std::string_view what) {
  std::string text = "QvMT4Connector logging: ";
  text.append(what);
  Platform::Diagnostic(text);
}

}  // namespace QvMT4Connector::Implementation
