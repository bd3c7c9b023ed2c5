#pragma once
// Workbooks and checks the server tests share: a small .xls made by LibreOffice from a
// flat-XML spreadsheet, damaged variants of it, an independent read-back of converted
// files, and the office processes this test process has started.

#include <sys/types.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace tabrook::testing {

// A workbook with the sheets "Prices" (A1 "Item", B1 2.5, C1 =B1*4) and "Notes"
// (A1 "Grüße"), converted to .xls once and kept in the test's working folder.
std::filesystem::path SampleWorkbook();

// The sample with an encryption record after its first BOF: a password-protected .xls.
std::string PasswordProtectedBytes();

// Sheet names ("#sheets" → "Prices,Notes"), formulas or values by "Sheet!A1", and cached
// formula results by "Sheet!A1#value", read by openpyxl.
std::map<std::string, std::string> ReadBack(const std::filesystem::path& workbook);

// soffice.bin processes whose parent is this process (zombies included).
std::vector<pid_t> OfficeChildren();

// True when the process is gone or a zombie, waiting at most `seconds` for it.
bool AwaitGone(pid_t pid, int seconds);

}  // namespace tabrook::testing
