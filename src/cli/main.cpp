// tabrook-convert: converts whole archives of legacy workbooks from the command line,
// through the same conversion server and finishing steps as the window.

#include <iostream>
#include <string>
#include <vector>

#include "calcserver/server/abandon_run.h"
#include "cli/convert_command.h"
#include "platform/interrupt_watch.h"

int main(int argc, char** argv) {
    tabrook::cli::TargetsInFlight inFlight;
    // Before any other thread, so that every thread leaves the interrupt to the watch.
    const tabrook::platform::InterruptWatch watch([&inFlight] {
        inFlight.Stop();
        tabrook::calcserver::AbandonRun(inFlight.Snapshot());
    });
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    return tabrook::cli::RunConvertCommand(arguments, inFlight, std::cin, std::cout, std::cerr);
}
