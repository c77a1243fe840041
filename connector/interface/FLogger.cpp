#include "connector/interface/FLogger.h"

#include "connector/implementation/Logger.h"

namespace QvMT4Connector::Interface {
std::shared_ptr<ILogger> FLogger::Create(std::string_view name) {
  return std::make_shared<Implementation::Logger>(name);
}
}  // namespace QvMT4Connector::Interface
