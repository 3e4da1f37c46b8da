// The command line's front end: runs one command and gives its exit code. Changing commands
// run in an elevated copy of the program when this one is not elevated; the copy hands its
// output back through a private file.
#pragma once

#include <string>
#include <vector>

#include "cli/console.h"

namespace cli {

struct Options {
    std::wstring settingsDirectory; // where Keldrast.ini is; empty: the program's own folder
};

// Runs the command the arguments give (those after the program's name).
int run(const std::vector<std::wstring>& args, Output& output, const Options& options = {});

// This process's arguments after the program's name, split as CommandLineToArgvW splits them.
std::vector<std::wstring> processArguments();

} // namespace cli
