#pragma once
#include <memory>

#include "connector/interface/IQvMT4.h"

namespace QvMT4Connector::Interface {

class FQvMT4 {
 public:
  static std::unique_ptr<IQvMT4> Create();
};

}  // namespace QvMT4Connector::Interface
