#pragma once

#include <gtest/gtest.h>
#include <string>

namespace veltrane::test {

// Names each row of a parameterised table by its `name` field, so a failure says which row.
struct ParamName {
    template <class T>
    std::string operator()(const ::testing::TestParamInfo<T>& row) const {
        return std::string(row.param.name);
    }
};

} // namespace veltrane::test
