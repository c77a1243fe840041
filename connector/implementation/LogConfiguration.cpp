#include "connector/implementation/LogConfiguration.h"

#include <exception>
#include <string>

#include "connector/implementation/LogRepository.h"
#include "platform/Platform.h"

namespace QvMT4Connector::Implementation::LogConfiguration {

void Configure(std::string_view) noexcept {
  try {
    LogSettings settings;
    AppenderSettings console;
    console.kind = AppenderSettings::Kind::Console;
    console.name = "Console";
    console.pattern = "%date|%-5p|%logger|%message%newline";
    console.standardError = true;
    settings.appenders.push_back(console);
    LogRepository::Apply(settings);
  } catch (const std::exception& e) {
    Platform::Diagnostic(std::string("QvMT4Connector logging: configuration failed: ") + e.what());
  }
}

}  // namespace QvMT4Connector::Implementation::LogConfiguration
