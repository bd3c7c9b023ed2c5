// The client that OfficeDiesWithAKilledClient starts and kills: it creates an instance,
// writes its office's process id to the file named by its argument, and waits.

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "calcserver/calc_fixtures.h"
#include "calcserver/server/register_calc_server.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        return 2;
    }
    tabrook::platform::AutomationRegistry registry;
    tabrook::calcserver::RegisterCalcServer(registry);
    const auto application = registry.CreateObject("Excel.Application");
    const auto children = tabrook::testing::OfficeChildren();
    if (children.size() != 1) {
        return 1;
    }
    const std::string report = argv[1];
    std::ofstream(report + ".part") << children.front();
    std::filesystem::rename(report + ".part", report);
    for (;;) {
        ::pause();
    }
}
