#pragma once
// A replaceable factory function, so tests can substitute doubles at a library interface.
#include <mutex>
#include <utility>

namespace QvMT4Connector::Interface {

template <class Factory>
class FactorySeam {
 public:
  void Set(Factory factory) {
    std::lock_guard<std::mutex> g(lock_);
    factory_ = std::move(factory);
  }
  Factory Get() const {
    std::lock_guard<std::mutex> g(lock_);
    return factory_;
  }

 private:
  mutable std::mutex lock_;
  Factory factory_;
};

}  // namespace QvMT4Connector::Interface
