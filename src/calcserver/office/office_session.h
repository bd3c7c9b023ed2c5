#pragma once
// One private office process and the workbooks open in it, with no UNO type in sight.
// Every call runs on the session's worker thread under a time limit. Failures arrive as
// platform::AutomationError: 1004 for a workbook the office refuses or cannot write,
// negative numbers when the process died, broke the connection or ran over its limit.
// After a negative error the process is dead and the session can only be dropped.

#include <sys/types.h>

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string_view>

#include "calcserver/office/office_limits.h"

namespace tabrook::calcserver::office {

class OfficeEnvironment;

class OfficeSession {
  public:
    using DocumentId = int;

    // Starts the process and connects to it; throws AutomationError 429 when it cannot.
    OfficeSession(std::shared_ptr<OfficeEnvironment> environment, OfficeLimits limits);
    // Kills the process and removes its private folder.
    ~OfficeSession();
    OfficeSession(const OfficeSession&) = delete;
    OfficeSession& operator=(const OfficeSession&) = delete;

    // Loads a workbook read-only, hidden, with macros and link updates off. Refuses (1004,
    // naming the file) a missing file, anything not read by one of the office's Excel
    // import filters, and password-protected workbooks.
    DocumentId Open(const std::filesystem::path& source);
    // Writes the document with the office's export filter `filter` to `output`, a file in
    // OutputFolder(). `target` only names the save in error descriptions.
    void Store(DocumentId document, std::string_view filter, const std::filesystem::path& output,
               const std::filesystem::path& target);
    void Close(DocumentId document);
    // Closes whatever is still open. True when the process is sound and holds no document,
    // so that it may serve another instance.
    bool MakeClean();
    // False once the process has ended or a call broke it.
    bool Usable();
    // Counts one more instance this process has served and returns the count.
    std::size_t CountServed();

    pid_t ProcessId() const;
    // A private folder for the office's output files, removed with the session.
    std::filesystem::path OutputFolder() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace tabrook::calcserver::office
