#pragma once
// What the window's commands reach the platform through, handed in by main() or a test.

#include <string>

namespace tabrook::platform {
class AutomationRegistry;
class Dialogs;
class FileSystem;
class MessageBoxes;
class Shell;
}  // namespace tabrook::platform

namespace tabrook::app {

struct Services {
    platform::FileSystem& fileSystem;
    platform::MessageBoxes& messageBoxes;
    platform::Shell& shell;
    platform::Dialogs& dialogs;
    const platform::AutomationRegistry& automation;
    std::string appFolder;  // the folder that holds the executable, without a trailing "/"
};

// The two strings a conversion run hands from one step to the next.
struct ConversionPaths {
    std::string OutputDir;   // the prepared output folder, with one trailing separator
    std::string TargetPath;  // the current workbook's output path, without an extension
};

}  // namespace tabrook::app
