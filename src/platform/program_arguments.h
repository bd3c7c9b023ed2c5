#pragma once
// A command-line program's arguments as UTF-8 text, whatever the system hands to main().

#include <string>
#include <vector>

namespace tabrook::platform {

// The arguments after the program's name. On Windows they are read again from the UTF-16
// command line (main's narrow ones are in the ANSI code page, which cannot spell every
// name), and the console is told that the program writes UTF-8.
std::vector<std::string> ProgramArguments(int argc, char** argv);

}  // namespace tabrook::platform
