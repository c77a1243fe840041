#include "connector/interface/FQvMT4.h"

#include "connector/implementation/QvMT4.h"
#include "connector/interface/FactorySeam.h"

namespace QvMT4Connector::Interface {
namespace {
FactorySeam<FQvMT4::Factory> seam;
}

std::unique_ptr<IQvMT4> FQvMT4::Create() {
  if (const auto factory = seam.Get()) return factory();
  return std::make_unique<Implementation::QvMT4>();
}

void FQvMT4::SetFactoryForTesting(Factory factory) { seam.Set(std::move(factory)); }
}  // namespace QvMT4Connector::Interface
