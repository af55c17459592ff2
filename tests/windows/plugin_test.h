// The fixture of the host's tests: cmpexport.dll beside the test program, loaded once for
// the process as a host loads it.
#pragma once

#include <gtest/gtest.h>

#include "tests/support/plugin_library.h"
#include "tests/windows/host/host_support.h"

namespace cmp {

class PlugInTest : public ::testing::Test {
  protected:
    static const cmp::PlugInLibrary& Library() {
        static const cmp::PlugInLibrary library(DefaultPlugInPath());
        return library;
    }

    void SetUp() override {
        ASSERT_TRUE(Library().Loaded())
            << "cannot load " << DefaultPlugInPath() << " (" << Library().Error() << ")";
    }
};

}  // namespace cmp
