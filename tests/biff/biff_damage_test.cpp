// Damaged input must end in a value or a BiffError: never a crash, a hang or a read out
// of bounds (the sanitizer build runs these too).
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>

#include "biff/biff_builder.h"
#include "calcserver/biff/biff_workbook.h"
#include "calcserver/biff/compound_stream.h"
#include "support/temp_dir.h"

namespace tabrook::calcserver::biff {
namespace {

using namespace tabrook::testing::biff;
using tabrook::testing::CorpusDir;
using tabrook::testing::TempDir;

// A built workbook with every record kind the reader decodes, for when the corpus is absent.
Bytes RichWorkbook() {
    const Bytes tokens{0x1E, 0x01, 0x00};
    return WorkbookStream(
        {CodeName("Book"), SharedStringTable({"one", "zwei", "три"})},
        {SheetSource{"A",
                     {Number(0, 0, 1), Rk(0, 1, 6), MulRk(1, 0, {6, 10, 14}), LabelSst(2, 0, 2),
                      Label(2, 1, "Größe"), BoolErr(3, 0, 1, false),
                      Formula(4, 0, SpecialResult(0), tokens), StringResult("text"),
                      Formula(4, 1, SpecialResult(2, 7), tokens), CodeName("Sheet1")}},
         SheetSource{"B", {Number(9, 9, 9)}}});
}

std::vector<Bytes> Samples() {
    std::vector<Bytes> samples{RichWorkbook()};
    const auto corpus = CorpusDir();
    if (corpus.empty()) {
        return samples;
    }
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        if (entry.path().extension() != ".xls") {
            continue;
        }
        try {
            samples.push_back(ReadWorkbookStreamFromFile(entry.path()));
        } catch (const BiffError&) {
        }
    }
    return samples;
}

// Reads `stream` and reports whether it ended in a value or a BiffError; anything else
// escapes and fails the test.
void ReadSurvives(const Bytes& stream) {
    for (const bool cells : {false, true}) {
        try {
            ReadWorkbookStream(stream, ReadOptions{cells});
        } catch (const BiffError&) {
        }
    }
}

TEST(BiffDamage, TruncatedAndGarbledStreamsAreReadOrRefused) {
    std::mt19937 random(20090909);
    for (const Bytes& sample : Samples()) {
        for (int cut = 0; cut < 40; ++cut) {
            ReadSurvives(Bytes(
                sample.begin(),
                sample.begin() + static_cast<std::ptrdiff_t>(random() % (sample.size() + 1))));
        }
        for (int variant = 0; variant < 60; ++variant) {
            Bytes garbled = sample;
            const int flips = 1 + static_cast<int>(random() % 8);
            for (int i = 0; i < flips; ++i) {
                garbled[random() % garbled.size()] = static_cast<std::uint8_t>(random());
            }
            ReadSurvives(garbled);
        }
    }
}

TEST(BiffDamage, DamagedCompoundFilesAreReadOrRefused) {
    TempDir dir;
    const auto original = dir.Path() / "original.xls";
    WriteCompoundFile(original, RichWorkbook());
    std::ifstream in(original, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    std::mt19937 random(7);
    for (int variant = 0; variant < 80; ++variant) {
        std::string damaged = bytes;
        if (variant % 2 == 0) {
            damaged.resize(random() % damaged.size());
        } else {
            for (int i = 0; i < 4; ++i) {
                damaged[random() % damaged.size()] = static_cast<char>(random());
            }
        }
        const auto file = dir.Write("damaged.xls", damaged);
        try {
            ReadWorkbook(file);
        } catch (const BiffError&) {
        }
    }
}

TEST(BiffCorpus, NamesOnlyAgreesWithTheFullRead) {
    const auto corpus = CorpusDir();
    if (corpus.empty()) {
        GTEST_SKIP() << "the shared corpus (TABROOK_CORPUS) is absent";
    }
    int read = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        if (entry.path().extension() != ".xls") {
            continue;
        }
        SCOPED_TRACE(entry.path().filename().string());
        std::optional<Workbook> full;
        std::optional<Workbook> names;
        try {
            full = ReadWorkbook(entry.path());
        } catch (const BiffError&) {
        }
        try {
            names = ReadWorkbook(entry.path(), ReadOptions{false});
        } catch (const BiffError&) {
        }
        ASSERT_EQ(full.has_value(), names.has_value());
        if (!full) {
            continue;
        }
        ++read;
        EXPECT_EQ(full->codeName, names->codeName);
        ASSERT_EQ(full->sheets.size(), names->sheets.size());
        for (std::size_t i = 0; i < full->sheets.size(); ++i) {
            EXPECT_EQ(full->sheets[i].name, names->sheets[i].name);
            EXPECT_EQ(full->sheets[i].codeName, names->sheets[i].codeName);
            EXPECT_TRUE(names->sheets[i].cells.empty());
        }
    }
    EXPECT_GT(read, 0);
}

}  // namespace
}  // namespace tabrook::calcserver::biff
