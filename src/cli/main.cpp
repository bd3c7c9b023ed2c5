// tabrook-convert: converts whole archives of legacy workbooks from the command line,
// through the same conversion server (and, where it has them, finishing steps) as the window.

#include <iostream>
#include <string>
#include <vector>

#include "cli/conversion_backend.h"
#include "cli/convert_command.h"
#include "platform/interrupt_watch.h"
#include "platform/program_arguments.h"

int main(int argc, char** argv) {
    tabrook::cli::TargetsInFlight inFlight;
    // Before any other thread, so that every thread leaves the interrupt to the watch.
    const tabrook::platform::InterruptWatch watch(
        [&inFlight] { tabrook::cli::AbandonConversions(inFlight); });
    const std::vector<std::string> arguments = tabrook::platform::ProgramArguments(argc, argv);
    return tabrook::cli::RunConvertCommand(arguments, inFlight, std::cin, std::cout, std::cerr);
}
