#pragma once
#include <cstdint>
#include <functional>
#include <memory>

#include "connector/interface/IAmqpReceiver.h"

namespace QvMT4Connector::Interface {

class FAmqpReceiver {
 public:
  // A new receiver, not yet connected. Throws std::exception (with a message) when it cannot be made.
  static std::unique_ptr<IAmqpReceiver> Create(const char* host, std::int32_t port, const char* vendorId,
                                               const char* systemId);

  // Test seam: replaces what Create makes; an empty function restores the real receiver.
  using Factory = std::function<std::unique_ptr<IAmqpReceiver>(const char* host, std::int32_t port,
                                                               const char* vendorId, const char* systemId)>;
  static void SetFactoryForTesting(Factory factory);
};

}  // namespace QvMT4Connector::Interface
