#pragma once
// Command lines the tests run: the independent readers (Python, Node.js) and LibreOffice
// itself, which makes test workbooks and reads ours back.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tabrook::testing {

// One shell word: the text in single quotes, its own single quotes escaped.
std::string ShellQuote(std::string_view text);

struct ShellResult {
    int exitCode = -1;   // -1 when the command could not run or was ended by a signal
    std::string output;  // its standard output
};
ShellResult RunShell(const std::string& command);

bool HasCommand(const std::string& name);

// Debian's interpreter, the one with the python3-* readers (the first python3 on PATH may be
// another).
std::string DebianPython();

// Converts every input with one headless LibreOffice under the private profile folder
// `profile`, into `outDir`; `filter` is what --convert-to takes ("xlsx", "xls",
// "xlsm:Calc MS Excel 2007 VBA XML"). A brand-new profile may end the first start early, so
// what is missing is tried once more. Returns the results that are there, in input order:
// a workbook the office cannot open has none.
std::vector<std::filesystem::path> ConvertWithOffice(
    const std::vector<std::filesystem::path>& inputs, const std::string& filter,
    const std::filesystem::path& outDir, const std::filesystem::path& profile);

}  // namespace tabrook::testing
