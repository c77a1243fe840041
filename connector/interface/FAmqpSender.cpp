#include "connector/interface/FAmqpSender.h"

#include "connector/implementation/AmqpSender.h"
#include "connector/interface/FactorySeam.h"

namespace QvMT4Connector::Interface {
namespace {
FactorySeam<FAmqpSender::Factory> seam;
}

std::unique_ptr<IAmqpSender> FAmqpSender::Create(const char* host, std::int32_t port, const char* email,
                                                 const char* qvPassword, const char* systemId) {
  if (const auto factory = seam.Get()) return factory(host, port, email, qvPassword, systemId);
  return std::make_unique<Implementation::AmqpSender>(host, port, email, qvPassword, systemId);
}

void FAmqpSender::SetFactoryForTesting(Factory factory) { seam.Set(std::move(factory)); }
}  // namespace QvMT4Connector::Interface
