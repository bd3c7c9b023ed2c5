#include "calcserver/finish/finish_package.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "calcserver/cellexact/cell_exact.h"
#include "calcserver/finish/package_check.h"
#include "calcserver/package/zip_package.h"
#include "calcserver/vba/carry_vba_project.h"
#include "calcserver/xlsb/transcoder.h"
#include "platform/atomic_file.h"
#include "platform/automation.h"
#include "platform/file_formats.h"

namespace tabrook::calcserver::finish {
namespace {

namespace fs = std::filesystem;
using platform::AutomationError;

std::string ErrnoText(int error) {
    return std::strerror(error);
}

// Copies `from` into a new temporary file beside `target` and moves it to the target's
// name, which it never takes from another file: the name was free when the caller chose
// it, but a conversion takes long enough for another program to put a file there.
void PlaceAtomically(const fs::path& from, const fs::path& target) {
    std::ifstream in(from, std::ios::binary);
    if (!in) {
        throw SaveRefused(target, "the converted workbook cannot be read back.");
    }
    try {
        platform::AtomicFile file(target);
        std::vector<char> buffer(1 << 16);
        while (in) {
            in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
            file.Append(std::string_view(buffer.data(), static_cast<std::size_t>(in.gcount())));
        }
        if (in.bad()) {
            throw SaveRefused(target, "the converted workbook cannot be read back.");
        }
        file.Commit(platform::Placement::kNeverReplace);
    } catch (const platform::TargetTaken&) {
        throw SaveRefused(target,
                          "another file of that name appeared while the workbook was being "
                          "converted; it has been left as it was.");
    } catch (const platform::FileWriteError& error) {
        throw SaveRefused(target, std::string(error.what()) + ".");
    }
}

// Excel refuses, or opens only after "repairing", a package with a fault; such a package
// is never handed over as a success.
void RefuseFaultyPackage(const fs::path& package, const fs::path& target) {
    const std::vector<std::string> faults = PackageFaults(package);
    if (faults.empty()) {
        return;
    }
    std::string reason = "the converted workbook is damaged: " + faults.front();
    if (faults.size() > 1) {
        reason += " (and " + std::to_string(faults.size() - 1) + " more faults)";
    }
    throw SaveRefused(target, reason + ".");
}

constexpr auto kBinaryWorkbook = static_cast<std::int32_t>(platform::FileFormat::BinaryWorkbook);

// LibreOffice recalculated the workbook when it loaded it; every cell gets back the value
// and type the source had stored. A source it cannot read keeps the office's values.
void RestoreStoredValues(const FinishRequest& request) {
    cellexact::ApplyStoredValues(request.source, request.officeOutput, request.officeOutput);
}

// The workbook's own VBA project and code names, in place of the office's rebuild.
void CarryMacros(const FinishRequest& request) {
    const platform::FileFormatInfo* format = platform::FindFileFormat(request.formatCode);
    const bool macroEnabled = format != nullptr && format->keepsMacros;
    vba::CarryVbaProject(request.source, request.officeOutput, request.officeOutput, macroEnabled);
}

}  // namespace

AutomationError SaveRefused(const fs::path& target, const std::string& reason) {
    return AutomationError(platform::kErrApplicationDefined,
                           "Tabrook cannot save '" + target.string() + "': " + reason);
}

void CheckTarget(const fs::path& source, const fs::path& target) {
    if (target.empty() || !target.has_filename()) {
        throw AutomationError(platform::kErrApplicationDefined,
                              "Tabrook cannot save the workbook: no file name was given.");
    }
    const fs::path folder = target.parent_path();
    std::error_code error;
    const auto folderStatus = fs::status(folder, error);
    if (folderStatus.type() == fs::file_type::not_found) {
        throw SaveRefused(target, "the folder '" + folder.string() + "' does not exist.");
    }
    if (folderStatus.type() != fs::file_type::directory) {
        throw SaveRefused(target, "'" + folder.string() + "' is not a folder.");
    }
    if (::access(folder.c_str(), W_OK | X_OK) != 0) {
        throw SaveRefused(target, "the folder '" + folder.string() + "' cannot be written (" +
                                      ErrnoText(errno) + ").");
    }
    if (fs::is_directory(target, error)) {
        throw SaveRefused(target, "a folder of that name is in the way.");
    }
    if (fs::equivalent(source, target, error)) {
        throw SaveRefused(target,
                          "that is the workbook being converted, which is never saved over.");
    }
    if (fs::exists(fs::symlink_status(target, error))) {
        throw SaveRefused(target,
                          "a file of that name is already there, and Tabrook never "
                          "replaces one.");
    }
}

void FinishPackage(const FinishRequest& request) {
    try {
        const package::ZipReader written(request.officeOutput);
        if (!written.Has("[Content_Types].xml")) {
            throw package::PackageError("no content types");
        }
    } catch (const package::PackageError&) {
        throw SaveRefused(request.target, "LibreOffice did not write a complete workbook.");
    }
    CheckTarget(request.source, request.target);

    // The office's output is private to this save, so the steps rewrite it in place; the
    // target is only ever written whole, by the last step.
    fs::path finished = request.officeOutput;
    struct RemoveBinary {
        fs::path file;
        ~RemoveBinary() {
            std::error_code ignored;
            fs::remove(file, ignored);
        }
    } removeBinary;
    try {
        MendPackage(request.officeOutput);
        RestoreStoredValues(request);
        CarryMacros(request);
        if (request.formatCode == kBinaryWorkbook) {
            finished = fs::path(request.officeOutput).replace_extension(".xlsb");
            removeBinary.file = finished;
            xlsb::TranscodeToXlsb(request.officeOutput, finished);
        }
    } catch (const AutomationError&) {
        throw;
    } catch (const std::exception& error) {
        throw SaveRefused(request.target, std::string(error.what()) + ".");
    }
    RefuseFaultyPackage(finished, request.target);
    PlaceAtomically(finished, request.target);
    std::error_code error;
    const auto written = fs::file_size(request.target, error);
    if (error || written != fs::file_size(finished, error) || error) {
        fs::remove(request.target, error);
        throw SaveRefused(request.target, "the file did not arrive complete.");
    }
}

}  // namespace tabrook::calcserver::finish
