#pragma once
// The finishing step for what sits on the sheets: the office drops a legacy workbook's
// embedded OLE objects and ActiveX controls, so each is put back from the source's own
// storage or control stream, with its preview picture and placement; charts the office
// lost are written from their records, or named.

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace tabrook::calcserver::objects {

struct ObjectsReport {
    std::size_t embeddedInSource = 0;
    std::size_t embeddedCarried = 0;
    std::size_t controlsInSource = 0;  // ActiveX controls
    std::size_t controlsCarried = 0;
    std::size_t formControlsPlaced = 0;  // the office's, given their legacy placement
    std::size_t formControlsInSource = 0;
    std::size_t formControlsRebuilt = 0;  // dropped by the office, rebuilt from the source
    std::size_t chartsInSource = 0;
    std::size_t chartsInResult = 0;       // the office's and the ones written here
    std::size_t chartsWritten = 0;        // lost by the office, written from the source's records
    std::size_t frozenPanesRestored = 0;  // sheets whose frozen panes the office dropped
    // One plain sentence for each object that is not in the result, and why.
    std::vector<std::string> notes;
};

// Writes packageOut (which may be packageIn) with the source's embedded objects added; when
// there is nothing to add, packageOut is a copy of packageIn. A source whose objects cannot
// be read leaves the package as it is, with a note. Throws package::PackageError when the
// package cannot be read or written.
ObjectsReport CarryObjects(const std::filesystem::path& xls, const std::filesystem::path& packageIn,
                           const std::filesystem::path& packageOut);

}  // namespace tabrook::calcserver::objects
