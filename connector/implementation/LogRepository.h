#pragma once
// The library's loggers over spdlog: one spdlog logger per name, all writing through the root's
// outputs, which a configuration replaces while other threads go on logging. Only this part of the
// library includes spdlog's headers.
#include <memory>
#include <string_view>

#include "connector/implementation/LogLevel.h"
#include "connector/implementation/LogSettings.h"

namespace spdlog {
class logger;
}

namespace QvMT4Connector::Implementation::LogRepository {

// The one logger of that name (compared exactly), made on first request.
std::shared_ptr<spdlog::logger> GetLogger(std::string_view name);

bool IsEnabled(const spdlog::logger& log, LogLevel level);

// Hands one line to the logger; a non-empty errorText follows the rendered line. Never throws:
// failures go to the diagnostic channel.
void Write(spdlog::logger& log, LogLevel level, std::string_view message, std::string_view errorText) noexcept;

// Closes the root's outputs, opens those of the settings and applies their threshold to every logger.
void Apply(const LogSettings& settings);

}  // namespace QvMT4Connector::Implementation::LogRepository
