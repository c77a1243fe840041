#pragma once
#include <functional>
#include <memory>

#include "connector/interface/IQvMT4.h"

namespace QvMT4Connector::Interface {

class FQvMT4 {
 public:
  static std::unique_ptr<IQvMT4> Create();

  // Test seam: replaces what Create makes; an empty function restores the real core.
  // Only reachable from the static library that the tests link, never through the exports.
  using Factory = std::function<std::unique_ptr<IQvMT4>()>;
  static void SetFactoryForTesting(Factory factory);
};

}  // namespace QvMT4Connector::Interface
