// Writes the starting inputs of the fuzzers that read text: make_seeds <target> <folder>.
// The .xls readers start from the real corpus instead.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base_package.h"

namespace {

void WriteSeeds(const std::filesystem::path& folder, const std::vector<std::string>& seeds) {
    std::filesystem::create_directories(folder);
    for (std::size_t i = 0; i < seeds.size(); ++i) {
        std::ofstream(folder / ("seed-" + std::to_string(i)), std::ios::binary) << seeds[i];
    }
}

std::vector<std::string> PackageSeeds() {
    std::vector<std::string> seeds;
    const auto& parts = tabrook::fuzz::BasePackage();
    for (std::size_t i = 0; i < parts.size(); ++i) {
        seeds.push_back(std::string(1, static_cast<char>(i)) + parts[i].xml);
    }
    return seeds;
}

std::vector<std::string> FormulaSeeds() {
    const std::vector<std::string> formulas = {"1+2*3^-4%",
                                               "SUM(A1:B2,Sheet1!$C$3)",
                                               "'Sheet 2'!A1:'Sheet 2'!B$2",
                                               "Sheet1:'Sheet 2'!A1",
                                               "IF(A1>=1,\"yes\",\"no \"\"q\"\"\")",
                                               "Total*Local",
                                               "{1,2;3,4}",
                                               "(A1:B2 C1:C5),D4",
                                               "#REF!+Sheet1!#REF!",
                                               "[1]Sheet1!A1",
                                               "VLOOKUP(A1,$A$1:$XFD$1048576,2,FALSE())",
                                               "-(-TRUE)&\"x\"",
                                               "SUMPRODUCT((A1:A9>0)*(B1:B9))",
                                               "A:A",
                                               "1:1048576",
                                               "_xlfn.IFERROR(1/0,)",
                                               "O'Brien!A1",
                                               "'O''Brien'!A1",
                                               "INDIRECT(\"A\"&ROW())",
                                               "1.5E+308*10"};
    std::vector<std::string> seeds;
    for (const std::string& formula : formulas) {
        seeds.push_back(std::string(1, '\0') + formula);
        seeds.push_back(std::string(1, '\x85') + formula);
    }
    return seeds;
}

// Parsed .xls formulas behind a two-byte token count: a union of 3-D areas, a function
// over a relative reference, an array constant with its trailing values.
std::vector<std::string> FormulaTextSeeds() {
    using namespace std::string_literals;
    return {
        "\x17\x00\x3B\x00\x00\x00\x00\xFF\xFF\x00\x00\x01\x00"
        "\x3B\x00\x00\x00\x00\x00\x00\x00\x00\xFF\x00\x10"s,
        "\x0B\x00\x2C\xFF\xFF\x01\xC0\x1E\x02\x00\x41\x1B\x00"s,
        "\x08\x00\x60\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x01"
        "\x00\x00\x00\x00\x00\x00\xF0\x3F"s};
}

// Report texts as the finishing process writes them, bare and in its answer frames.
std::vector<std::string> ReportSeeds() {
    return {"count\tvalues.cellsChanged\t12\nitem\txlsb\tformula kept: =A1\\tB\tSheet1!B7\n",
            "item\tvba\tleft as rebuilt\t\nleft\t3\n",
            "",
            "36\nplaced\ncount\tvalues.cellsChanged\t12\n",
            "43\nrefused retire\n1004\nTabrook cannot save 'x'",
            "7\nplaced\n10\nrefused\n5\n"};
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr,
                     "usage: make_seeds xlsb|cellexact|formula|formula_text|report <folder>\n");
        return 2;
    }
    const std::string target = argv[1];
    if (target == "xlsb") {
        WriteSeeds(argv[2], PackageSeeds());
    } else if (target == "cellexact") {
        WriteSeeds(argv[2], tabrook::fuzz::SampleWorksheets());
    } else if (target == "formula") {
        WriteSeeds(argv[2], FormulaSeeds());
    } else if (target == "formula_text") {
        WriteSeeds(argv[2], FormulaTextSeeds());
    } else if (target == "report") {
        WriteSeeds(argv[2], ReportSeeds());
    } else {
        std::fprintf(stderr, "make_seeds: no seeds for %s\n", argv[1]);
        return 2;
    }
    return 0;
}
