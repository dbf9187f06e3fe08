#pragma once
// celwright-cli atlas: a project's frames as a JSON atlas in the layouts that
// game engines' importers read, optionally with the sheet as a transparent PNG.
#include <string>
#include <vector>

// Runs "atlas" with the tool's arguments (args[0] is "atlas"). Messages go
// through MsgBox; returns the tool's exit status (0, 1 refused, 2 usage).
int RunAtlas(const std::vector<std::string>& args);
