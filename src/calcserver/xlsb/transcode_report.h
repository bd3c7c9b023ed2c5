#pragma once
// What a transcoding did: cells and formulas written, the formulas that had to stay as
// plain cached values, and the sheet rules the binary workbook could not carry.

#include <cstddef>
#include <string>
#include <vector>

namespace tabrook::calcserver::xlsb {

struct UnencodedFormula {
    std::string sheet;
    std::string cell;  // "B7", or "name Foo" for a defined name
    std::string formula;
    std::string reason;
};

// A conditional format, validation or filter that has no record form here.
struct LeftOutRule {
    std::string sheet;
    std::string where;  // the cells it applies to, as the package names them
    std::string what;
};

struct TranscodeReport {
    std::size_t cells = 0;
    std::size_t formulas = 0;
    std::size_t unencodedCount = 0;
    // The first kMaxListed of them, so that a huge sheet cannot fill memory with them.
    std::vector<UnencodedFormula> unencoded;
    static constexpr std::size_t kMaxListed = 10000;

    std::size_t leftOutCount = 0;
    std::vector<LeftOutRule> leftOut;  // the first kMaxListed of them

    void AddUnencoded(UnencodedFormula entry) {
        ++unencodedCount;
        if (unencoded.size() < kMaxListed) {
            unencoded.push_back(std::move(entry));
        }
    }
    void AddLeftOut(LeftOutRule entry) {
        ++leftOutCount;
        if (leftOut.size() < kMaxListed) {
            leftOut.push_back(std::move(entry));
        }
    }
};

}  // namespace tabrook::calcserver::xlsb
