// Damaged input ends in what it still holds or a BiffError: never a crash, a hang, a read
// out of bounds or a value it did not hold (the sanitizer build runs this too).
#include <gtest/gtest.h>

#include <optional>
#include <random>

#include "biff/biff_builder.h"
#include "calcserver/biff/biff_workbook.h"
#include "calcserver/biff/compound_stream.h"
#include "support/temp_dir.h"

namespace tabrook::calcserver::biff {
namespace {

using namespace tabrook::testing::biff;

std::vector<Bytes> Samples() {
    const Bytes tokens{0x1E, 0x01, 0x00};
    std::vector<Bytes> samples{WorkbookStream(
        {CodeName("Book"), SharedStringTable({"one", "три"})},
        {{"A",
          {Number(0, 0, 1), CellRecord(0x00FD, 2, 0, Le32(1)), BoolErr(3, 0, 1, false),
           Formula(4, 0, NonNumberResult(0), tokens), StringResult("text"), CodeName("Sheet1")}},
         {"B", {Number(9, 9, 9)}}})};
    if (const auto corpus = tabrook::testing::CorpusDir(); !corpus.empty()) {
        for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
            try {
                samples.push_back(ReadWorkbookStreamFromFile(entry.path()));
            } catch (const BiffError&) {
            }
        }
    }
    return samples;
}

std::size_t CellCount(const Workbook& workbook) {
    std::size_t count = 0;
    for (const Sheet& sheet : workbook.sheets) {
        count += sheet.cells.size();
    }
    return count;
}

// A stream cut short holds a prefix of the records, so every constant it gives was in the
// whole stream, at the same place and with the same value.
void ExpectPrefixOf(const Workbook& cut, const Workbook& whole) {
    ASSERT_LE(cut.sheets.size(), whole.sheets.size());
    for (std::size_t i = 0; i < cut.sheets.size(); ++i) {
        for (const auto& [address, cell] : cut.sheets[i].cells) {
            const auto found = whole.sheets[i].cells.find(address);
            ASSERT_NE(found, whole.sheets[i].cells.end())
                << "sheet " << i << " gained a cell at " << address.first << "," << address.second;
            if (!cell.isFormula) {
                EXPECT_EQ(cell.value, found->second.value);
            }
        }
    }
}

TEST(BiffDamage, TruncatedAndGarbledStreamsGiveWhatTheyHoldOrAreRefused) {
    std::mt19937 random(20090909);
    for (const Bytes& sample : Samples()) {
        std::optional<Workbook> whole;
        try {
            whole = ReadWorkbookStream(sample);
        } catch (const BiffError&) {
        }
        for (int variant = 0; variant < 100; ++variant) {
            Bytes damaged = sample;
            const bool truncated = variant % 3 == 0;
            if (truncated) {
                damaged.resize(random() % damaged.size());
            } else {
                for (int flips = 1 + variant % 8; flips > 0; --flips) {
                    damaged[random() % damaged.size()] = static_cast<std::uint8_t>(random());
                }
            }
            try {
                ReadWorkbookStream(damaged, ReadOptions{false});
                const Workbook read = ReadWorkbookStream(damaged);
                // Whatever garbage says, what is read is bounded by the bytes it came from:
                // every cell and every sheet costs a record of its own.
                EXPECT_LE(CellCount(read), damaged.size() / 4);
                EXPECT_LE(read.sheets.size(), damaged.size() / 8);
                if (truncated && whole) {
                    ExpectPrefixOf(read, *whole);
                }
            } catch (const BiffError&) {
                // Refused in plain words: the other right answer.
            }
        }
    }
}

}  // namespace
}  // namespace tabrook::calcserver::biff
