#pragma once
// A real main window on scripted dialogs, message boxes, shell and automation server, with
// its application folder (and so its state files) in a fresh temporary folder.

#include <memory>
#include <string>
#include <vector>

#include "app/form1.h"
#include "platform/automation.h"
#include "platform/posix_file_system.h"
#include "support/scripted_dialogs.h"
#include "support/scripted_platform.h"
#include "support/temp_dir.h"

namespace tabrook::testing {

class FormFixture {
  public:
    FormFixture();
    ~FormFixture();

    // Writes a state file of the application folder with CR LF line ends.
    void WriteStateFile(const std::string& name, const std::vector<std::string>& lines);
    std::string ReadStateFile(const std::string& name) const;
    // Builds the window, which runs start-up.
    app::Form1& Open();
    app::Form1& Form() { return *form_; }
    // Closes the window as the close box does, which runs shut-down.
    void Close();

    TempDir appDir;
    TempDir work;  // a place for the test's own files and folders
    platform::PosixFileSystem fileSystem;
    ScriptedMessageBoxes messageBoxes;
    ScriptedShell shell;
    ScriptedDialogs dialogs;
    platform::AutomationRegistry automation;
    ScriptedServer server;
    platform::Services services;

  private:
    std::unique_ptr<app::Form1> form_;
};

}  // namespace tabrook::testing
