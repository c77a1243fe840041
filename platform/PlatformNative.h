#pragma once
// The real services behind the overridable ones of Platform.h; one definition per OS.
#include "platform/Platform.h"

namespace QvMT4Connector::Platform::Native {
LocalTime LocalNow();
std::string ExecutableDirectory();
std::string CurrentDirectory();
void Diagnostic(std::string_view text);
}  // namespace QvMT4Connector::Platform::Native
