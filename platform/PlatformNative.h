#pragma once
// The real services behind the overridable ones of Platform.h; one definition per OS.
#include "platform/Platform.h"

namespace QvMT4Connector::Platform::Native {
LocalTime LocalNow();
std::string ExecutableDirectory();
std::string CurrentDirectory();
void Diagnostic(std::string_view text);
// Memory for a result that the caller of an export owns; nullptr when there is none.
void* AllocateResultMemory(std::size_t size);
}  // namespace QvMT4Connector::Platform::Native
