#pragma once
// celwright-cli rebind: a project's frames moved to where their pictures went
// when the sheet was redrawn (a column inserted, a row of sprites moved).
#include <string>
#include <vector>

// Exit status of a rebind that wrote the project but left some frames where
// they were, found nowhere on the new sheet.
inline constexpr int ExitFramesNotFound = 3;

// Runs "rebind" with the tool's arguments (args[0] is "rebind"). Messages go
// through MsgBox; returns the tool's exit status (0, 1 refused, 2 usage, or
// ExitFramesNotFound).
int RunRebind(const std::vector<std::string>& args);
