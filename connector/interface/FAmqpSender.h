#pragma once
#include <cstdint>
#include <functional>
#include <memory>

#include "connector/interface/IAmqpSender.h"

namespace QvMT4Connector::Interface {

class FAmqpSender {
 public:
  // A new sender, not yet connected. Throws std::exception (with a message) when it cannot be made.
  static std::unique_ptr<IAmqpSender> Create(const char* host, std::int32_t port, const char* email,
                                             const char* qvPassword, const char* systemId);

  // Test seam: replaces what Create makes; an empty function restores the real sender.
  // Only reachable from the static library that the tests link, never through the exports.
  using Factory = std::function<std::unique_ptr<IAmqpSender>(const char* host, std::int32_t port,
                                                             const char* email, const char* qvPassword,
                                                             const char* systemId)>;
  static void SetFactoryForTesting(Factory factory);
};

}  // namespace QvMT4Connector::Interface
