#include "output/output_folder_commands.h"

#include "app/form1.h"

namespace tabrook::output {

void BrowseOutputFolder(app::Form1& /*form*/) {}
void ViewOutputFolder(app::Form1& /*form*/) {}
void RemoveOutputFolder(app::Form1& /*form*/) {}
void RemoveAllOutputFolders(app::Form1& /*form*/) {}
bool PrepareOutputFolder(app::Form1& /*form*/) {
    return false;
}

}  // namespace tabrook::output
