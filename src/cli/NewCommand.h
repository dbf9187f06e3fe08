#pragma once
// celwright-cli new: a project made from a sheet in one stroke, by a grid or by
// the sprites found on it.
#include <string>
#include <vector>

// Runs "new" with the tool's arguments (args[0] is "new"). Messages go through
// MsgBox; returns the tool's exit status (0, 1 refused, 2 usage).
int RunNew(const std::vector<std::string>& args);
