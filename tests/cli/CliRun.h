#pragma once
// Runs the command-line tool in-process and captures what it prints.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/Cli.h"

using Args = std::vector<std::string>;

struct Outcome {
    int Status;
    std::string Out, Err;
};

inline Outcome Tool(const Args& args) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const int status = RunCli(args);
    return {status, testing::internal::GetCapturedStdout(), testing::internal::GetCapturedStderr()};
}
