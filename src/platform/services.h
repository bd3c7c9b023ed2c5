#pragma once
// What the window's commands reach the platform through, handed in by main() or a test.

#include <string>

namespace tabrook::platform {

class AutomationRegistry;
class Dialogs;
class FileSystem;
class MessageBoxes;
class Shell;

struct Services {
    FileSystem& fileSystem;
    MessageBoxes& messageBoxes;
    Shell& shell;
    Dialogs& dialogs;
    const AutomationRegistry& automation;
    std::string appFolder;  // the folder that holds the executable, without a trailing "/"
};

}  // namespace tabrook::platform
