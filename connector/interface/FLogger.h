#pragma once
#include <memory>
#include <string_view>

#include "connector/interface/ILogger.h"

namespace QvMT4Connector::Interface {

class FLogger {
 public:
  // A new facade over the named library logger; runs the log configuration.
  static std::shared_ptr<ILogger> Create(std::string_view name);
};

}  // namespace QvMT4Connector::Interface
