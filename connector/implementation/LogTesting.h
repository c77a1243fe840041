#pragma once
// Test seam of the logging: a tap sees every line that any logger writes, after the level check.
// Only the tests (which link the static library) use it; the exports cannot reach it.
#include <cstdint>
#include <functional>
#include <string_view>

namespace QvMT4Connector::Implementation::LogTesting {

// level: the Globals LOG_DEBUG..LOG_FATAL number; message: the message text, with the error
// object's text after CR LF when one was attached.
using Tap = std::function<void(std::int32_t level, std::string_view logger, std::string_view message)>;

int AddTap(Tap tap);
void RemoveTap(int id);

// Back to the state before the first configuration: outputs closed, no level enabled.
void Reset();

}  // namespace QvMT4Connector::Implementation::LogTesting
