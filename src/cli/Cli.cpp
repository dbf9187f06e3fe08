// Placeholder: the command-line tool is being written.
#include "cli/Cli.h"
int RunCli(const std::vector<std::string>&) { return 2; }
