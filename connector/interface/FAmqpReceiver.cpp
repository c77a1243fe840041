#include "connector/interface/FAmqpReceiver.h"

#include "connector/implementation/AmqpReceiver.h"
#include "connector/interface/FactorySeam.h"

namespace QvMT4Connector::Interface {
namespace {
FactorySeam<FAmqpReceiver::Factory> seam;
}

std::unique_ptr<IAmqpReceiver> FAmqpReceiver::Create(const char* host, std::int32_t port, const char* vendorId,
                                                     const char* systemId) {
  if (const auto factory = seam.Get()) return factory(host, port, vendorId, systemId);
  return std::make_unique<Implementation::AmqpReceiver>(host, port, vendorId, systemId);
}

void FAmqpReceiver::SetFactoryForTesting(Factory factory) { seam.Set(std::move(factory)); }
}  // namespace QvMT4Connector::Interface
