#pragma once
// Names the cases of a parameterised test after the `name` field of their parameter.
#include <gtest/gtest.h>

#include <string>

namespace QvMT4Connector::TestSupport {

struct CaseName {
  template <class Param>
  std::string operator()(const ::testing::TestParamInfo<Param>& param) const {
    return param.param.name;
  }
};

}  // namespace QvMT4Connector::TestSupport
