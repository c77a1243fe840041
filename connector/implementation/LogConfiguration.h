#pragma once
// The log configuration step that every Logger construction runs.
#include <string_view>

namespace QvMT4Connector::Implementation::LogConfiguration {

// Configures the loggers from "experts\config\log4net_qvmt4_config.xml" under the current
// directory when that file exists, else from the built-in text. Failures go to the diagnostic
// channel and leave the configuration as it was; nothing is thrown.
void Configure(std::string_view builtInText) noexcept;

}  // namespace QvMT4Connector::Implementation::LogConfiguration
