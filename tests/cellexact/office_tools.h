#pragma once
// Running LibreOffice and the independent Python readers from the cell-exact tests.

#include <filesystem>
#include <string>
#include <vector>

namespace tabrook::testing::office {

std::string ShellQuote(const std::string& text);
// Runs `command` through the shell; returns its exit status and collects its output.
int RunCommand(const std::string& command, std::string* output = nullptr);

bool HaveOffice();
// A python3 that can import openpyxl and xlrd, or empty when there is none.
std::string ReaderPython();

// Converts `files` with a single soffice call and a private profile under `profile`.
bool ConvertWithOffice(const std::vector<std::filesystem::path>& files, const std::string& filter,
                       const std::filesystem::path& outDir, const std::filesystem::path& profile);

}  // namespace tabrook::testing::office
