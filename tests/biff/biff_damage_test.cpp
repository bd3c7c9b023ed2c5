// Damaged input ends in a value or a BiffError: never a crash, a hang or a read out of
// bounds (the sanitizer build runs this too).
#include <gtest/gtest.h>

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

TEST(BiffDamage, TruncatedAndGarbledStreamsAreReadOrRefused) {
    std::mt19937 random(20090909);
    const auto survives = [](const Bytes& stream) {
        for (const bool cells : {false, true}) {
            try {
                ReadWorkbookStream(stream, ReadOptions{cells});
            } catch (const BiffError&) {
            }
        }
    };
    for (const Bytes& sample : Samples()) {
        for (int variant = 0; variant < 100; ++variant) {
            Bytes damaged = sample;
            if (variant % 3 == 0) {
                damaged.resize(random() % damaged.size());
            } else {
                for (int flips = 1 + variant % 8; flips > 0; --flips) {
                    damaged[random() % damaged.size()] = static_cast<std::uint8_t>(random());
                }
            }
            survives(damaged);
        }
    }
}

}  // namespace
}  // namespace tabrook::calcserver::biff
