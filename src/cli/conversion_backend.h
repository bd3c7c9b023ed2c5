#pragma once
// What stands behind "Excel.Application" for tabrook-convert, and the file system it works
// on. The build picks one implementation: on Linux our server on LibreOffice with its
// finishing steps; on Windows the application itself over COM, which writes every format
// on its own.

#include <cstddef>
#include <memory>
#include <string>

#include "cli/conversion_run.h"

namespace tabrook::platform {
class AutomationRegistry;
class FileSystem;
}  // namespace tabrook::platform

namespace tabrook::cli {

std::unique_ptr<platform::FileSystem> MakeRunFileSystem();

// Registers the server for a run of `jobs` conversions at once; each conversion still
// makes an instance of its own.
void RegisterConversionServer(platform::AutomationRegistry& automation, std::size_t jobs);

// Whether the server keeps a report of what its finishing steps changed.
bool ServerReportsChanges();

// A source or target path as the server is handed it.
std::string PathForServer(const std::string& path);

// After an interrupt, on the interrupt's own thread: no workbook starts any more, and the
// run leaves no process and no partial result behind. The caller then exits.
void AbandonConversions(TargetsInFlight& inFlight);

}  // namespace tabrook::cli
