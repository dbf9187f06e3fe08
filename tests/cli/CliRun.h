#pragma once
// Runs the command-line tool in-process and captures what it prints.
#include <gtest/gtest.h>

#include <algorithm>
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

inline Args operator+(Args a, const Args& b) { return a.insert(a.end(), b.begin(), b.end()), a; }

inline bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The exit status, nothing on stdout and one line on stderr (the given one, if any).
inline void ExpectFails(const Outcome& o, int status = 1, const std::string& err = "") {
    EXPECT_EQ(o.Status, status);
    EXPECT_EQ(std::count(o.Err.begin(), o.Err.end(), '\n'), 1) << o.Err;
    EXPECT_TRUE((err.empty() || o.Err == err) && o.Out.empty()) << o.Err << o.Out;
}
