#include "calcserver/calc_fixtures.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <string_view>
#include <thread>

#include "support/shell_tools.h"
#include "support/temp_dir.h"

namespace tabrook::testing {
namespace {

constexpr const char* kFlatSpreadsheet = R"(<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 xmlns:of="urn:oasis:names:tc:opendocument:xmlns:of:1.2" office:version="1.2"
 office:mimetype="application/vnd.oasis.opendocument.spreadsheet">
<office:body><office:spreadsheet>
<table:table table:name="Prices"><table:table-row>
<table:table-cell office:value-type="string"><text:p>Item</text:p></table:table-cell>
<table:table-cell office:value-type="float" office:value="2.5"><text:p>2.5</text:p></table:table-cell>
<table:table-cell table:formula="of:=[.B1]*4" office:value-type="float" office:value="10"><text:p>10</text:p></table:table-cell>
</table:table-row></table:table>
<table:table table:name="Notes"><table:table-row>
<table:table-cell office:value-type="string"><text:p>Grüße</text:p></table:table-cell>
</table:table-row></table:table>
</office:spreadsheet></office:body></office:document>
)";

constexpr const char* kReadBackScript = R"(import sys, openpyxl
formulas = openpyxl.load_workbook(sys.argv[1])
values = openpyxl.load_workbook(sys.argv[1], data_only=True)
print("#sheets\t" + ",".join(formulas.sheetnames))
for ws in formulas.worksheets:
    for row in ws.iter_rows():
        for cell in row:
            if cell.value is not None:
                key = ws.title + "!" + cell.coordinate
                print(key + "\t" + str(cell.value))
                print(key + "#value\t" + str(values[ws.title][cell.coordinate].value))
)";

// The command's output; throws when it fails, since nothing after it can be checked.
std::string Run(const std::string& command) {
    const ShellResult result = RunShell(command);
    if (result.exitCode != 0) {
        throw std::runtime_error("failed: " + command + "\n" + result.output);
    }
    return result.output;
}

}  // namespace

std::filesystem::path SampleWorkbook() {
    // Made once beside the test executable; the conversion costs a LibreOffice start.
    const std::filesystem::path cached =
        std::filesystem::read_symlink("/proc/self/exe").parent_path() /
        ("calcserver-sample-" + std::to_string(std::hash<std::string_view>{}(kFlatSpreadsheet)) +
         ".xls");
    if (std::filesystem::exists(cached)) {
        return cached;
    }
    TempDir work;
    work.Write("sample.fods", kFlatSpreadsheet);
    if (ConvertWithOffice({work.Path() / "sample.fods"}, "xls", work.Path(),
                          work.Path() / "profile")
            .empty()) {
        throw std::runtime_error("LibreOffice did not make the sample workbook");
    }
    std::filesystem::copy_file(work.Path() / "sample.xls", work.Path() / "ready.xls");
    std::filesystem::rename(work.Path() / "ready.xls", cached);
    return cached;
}

std::string PasswordProtectedBytes() {
    std::ifstream in(SampleWorkbook(), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // BIFF8 BOF of the workbook globals, then INTERFACEHDR, MMS and INTERFACEEND (16 bytes),
    // which become FILEPASS (XOR, with a key no default password matches) and a filler.
    const std::string bof("\x09\x08\x10\x00\x00\x06\x05\x00", 8);
    const auto at = bytes.find(bof);
    const std::string interface("\xE1\x00\x02\x00", 4);
    if (at == std::string::npos || bytes.compare(at + 20, 4, interface) != 0) {
        throw std::runtime_error("unexpected layout of the sample workbook");
    }
    const std::string filePass("\x2F\x00\x06\x00\x00\x00\x34\x12\x78\x56\xEF\x00\x02\x00\x00\x00",
                               16);
    bytes.replace(at + 20, filePass.size(), filePass);
    return bytes;
}

std::map<std::string, std::string> ReadBack(const std::filesystem::path& workbook) {
    TempDir work;
    const auto script = work.Write("read_back.py", kReadBackScript);
    std::istringstream lines(Run(DebianPython() + " " + ShellQuote(script.string()) + " " +
                                 ShellQuote(workbook.string())));
    std::map<std::string, std::string> cells;
    std::string line;
    while (std::getline(lines, line)) {
        const auto tab = line.find('\t');
        cells[line.substr(0, tab)] = tab == std::string::npos ? "" : line.substr(tab + 1);
    }
    return cells;
}

std::vector<pid_t> OfficeChildren() {
    std::vector<pid_t> children;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        std::ifstream stat(entry.path() / "stat");
        std::string text;
        std::getline(stat, text);
        // pid (comm) state ppid ...
        const auto close = text.rfind(')');
        if (close == std::string::npos || text.find("(soffice.bin)") == std::string::npos) {
            continue;
        }
        std::istringstream rest(text.substr(close + 1));
        char state = 0;
        pid_t parent = 0;
        rest >> state >> parent;
        if (parent == ::getpid()) {
            children.push_back(static_cast<pid_t>(std::stoi(name)));
        }
    }
    return children;
}

bool AwaitGone(pid_t pid, int seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    const std::filesystem::path stat = "/proc/" + std::to_string(pid) + "/stat";
    for (;;) {
        std::ifstream in(stat);
        std::string text;
        if (!std::getline(in, text)) {
            return true;
        }
        const auto close = text.rfind(')');
        if (close != std::string::npos && close + 2 < text.size() && text[close + 2] == 'Z') {
            return true;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

}  // namespace tabrook::testing
