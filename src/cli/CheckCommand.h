#pragma once
// celwright-cli check: what is wrong with a project's frames before it ships,
// and what each depth mode would make of its sheet.
#include <string>
#include <vector>

// Exit status of check when it found problems (0 when none, 1 refused, 2 usage).
inline constexpr int ExitProblems = 3;

// Runs "check" with the tool's arguments (args[0] is "check").
int RunCheck(const std::vector<std::string>& args);
