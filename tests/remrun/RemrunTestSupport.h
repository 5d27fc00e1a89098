// The remrun program against the test's remote shell service: a fresh root
// whose services file names the service's loopback port as "shell"/"tcp".
#pragma once

#include "RshTestServer.h"
#include "support/ChildProcess.h"
#include "support/FreshRoot.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace remruntest {

// What one run of the program left behind.
struct RemrunResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

class RemrunFixture : public ::testing::Test {
  protected:
    void SetUp() override;

    // Runs remrun with `arguments` (after the program name) in the root.
    RemrunResult Run(const std::vector<std::string>& arguments,
                     const std::vector<std::string>& environment = {});

    testsupport::FreshRoot root_;
    RshTestServer server_;
};

}  // namespace remruntest
