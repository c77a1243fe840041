#pragma once
// Parameterised cases are known by the `name` field of their parameter: it names each case, and
// it is what a listing or a failure prints for the parameter (bring the printer in with
// `using TestSupport::operator<<;` where the parameter type is declared).
#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace QvMT4Connector::TestSupport {

struct CaseName {
  template <class Param>
  std::string operator()(const ::testing::TestParamInfo<Param>& param) const {
    return param.param.name;
  }
};

template <class Param>
auto operator<<(std::ostream& out, const Param& param) -> decltype(out << param.name) {
  return out << param.name;
}

}  // namespace QvMT4Connector::TestSupport
