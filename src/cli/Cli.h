#pragma once
// celwright-cli: export, import and inspect projects from build pipelines.
#include <string>
#include <vector>

// Runs the tool with the given arguments (without the program name); writes its
// output to stdout and its one-line error to stderr. Returns the exit status:
// 0 success, 1 refused input, 2 usage error.
int RunCli(const std::vector<std::string>& args);
