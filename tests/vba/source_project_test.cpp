#include "calcserver/vba/source_project.h"

#include <gtest/gtest.h>

#include <optional>

#include "calcserver/vba/vba_error.h"
#include "support/shell_tools.h"
#include "support/temp_dir.h"
#include "vba/checker.h"
#include "vba/compound_fixture.h"

namespace tabrook::calcserver::vba {
namespace {

using namespace std::string_literals;
using tabrook::testing::ShellQuote;
using tabrook::testing::TempDir;
using testing::CompoundEntry;
using testing::MinimalVbaWorkbook;
using testing::RunChecker;
using testing::Storage;
using testing::Stream;
using testing::WriteCompoundFile;

const std::string kFormClassId("\x12\x34\x56\x78\x9a\xbc\xde\xf0\x01\x02\x03\x04\x05\x06\x07\x08",
                               16);
const std::string kSignature =
    "\x05"
    "DigitalSignature";

std::filesystem::path WriteWorkbook(const TempDir& dir, const std::vector<CompoundEntry>& entries) {
    const auto file = dir.Path() / "book.xls";
    WriteCompoundFile(file, entries);
    return file;
}

TEST(SourceProject, CopiesEveryStreamAndStorageUnchangedAndDropsOnlyTopSignatures) {
    TempDir dir;
    std::vector<CompoundEntry> entries = MinimalVbaWorkbook();
    std::string large(70000, '\0');  // beyond the mini-stream cut-off of 4096 bytes
    for (std::size_t i = 0; i < large.size(); ++i) {
        large[i] = static_cast<char>(i * 31 % 251);
    }
    const std::vector<CompoundEntry> extra = {
        Stream("_VBA_PROJECT_CUR/VBA/Modül_Ωμέγα", "Attribute VB_Name = \"Ωμέγα\"\x00\xff"s),
        Stream("_VBA_PROJECT_CUR/VBA/Big", large),
        Stream("_VBA_PROJECT_CUR/VBA/Empty", ""),
        Storage("_VBA_PROJECT_CUR/UserForm1", kFormClassId),
        Stream("_VBA_PROJECT_CUR/UserForm1/\x03VBFrame", "VERSION 5.00"),
        Storage("_VBA_PROJECT_CUR/UserForm1/Inner"),
        Stream("_VBA_PROJECT_CUR/UserForm1/Inner/" + kSignature, "nested: not the project's"),
        Stream("_VBA_PROJECT_CUR/" + kSignature, "sig"),
        Stream("_VBA_PROJECT_CUR/" + kSignature + "Agile", "sig"),
        Stream("_VBA_PROJECT_CUR/" + kSignature + "Ex", "sig"),
    };
    entries.insert(entries.end(), extra.begin(), extra.end());
    const auto workbook = WriteWorkbook(dir, entries);

    const SourceProject project = ReadSourceProject(workbook, true);
    ASSERT_EQ(project.kind, ProjectKind::Current);
    const auto copy = dir.Write("vbaProject.bin", project.compoundFile);
    const auto check = RunChecker("--compare " + ShellQuote(workbook.string()) +
                                  " _VBA_PROJECT_CUR " + ShellQuote(copy.string()));
    EXPECT_TRUE(check.passed) << check.output;
    EXPECT_EQ(check.output, "streams identical 8/8\n");
    EXPECT_EQ(project.streams, 8u);
    EXPECT_EQ(project.storages, 3u);
    EXPECT_EQ(project.droppedSignatures.size(), 3u);
}

TEST(SourceProject, EveryWorkbookGetsAKindOrARefusalThatSaysDamaged) {
    const auto without = [](const std::string& path) {
        std::vector<CompoundEntry> entries = MinimalVbaWorkbook();
        std::erase_if(entries, [&](const CompoundEntry& e) { return e.path == path; });
        return entries;
    };
    std::vector<CompoundEntry> uncompressedDir = MinimalVbaWorkbook();
    uncompressedDir.back().data = "plain text";
    std::vector<CompoundEntry> longer = MinimalVbaWorkbook();
    longer.push_back(Stream("_VBA_PROJECT_CUR/VBA/Module1", std::string(9000, 'm')));
    struct Case {
        const char* label;
        std::vector<CompoundEntry> entries;  // none: a text file
        std::optional<ProjectKind> kind;     // none: refused
        std::uintmax_t cutTo = 0;
    };
    const Case cases[] = {
        {"no VBA", {Stream("Workbook", "cells")}, ProjectKind::None},
        {"Excel 5 project",
         {Stream("Book", "cells"), Storage("_VBA_PROJECT")},
         ProjectKind::Legacy},
        {"not a compound file", {}, ProjectKind::None},
        {"no dir", without("_VBA_PROJECT_CUR/VBA/dir"), std::nullopt},
        {"dir not compressed", uncompressedDir, std::nullopt},
        {"project is a stream", {Stream("_VBA_PROJECT_CUR", "x")}, std::nullopt},
        // The engine may still read what this reader cannot: no verdict, no refusal.
        {"sectors cut off", longer, ProjectKind::Unreadable, 4096},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        TempDir dir;
        const auto file =
            c.entries.empty() ? dir.Write("book.xls", "a;b\n1;2\n") : WriteWorkbook(dir, c.entries);
        if (c.cutTo > 0) {
            std::filesystem::resize_file(file, c.cutTo);
        }
        try {
            const SourceProject project = ReadSourceProject(file, true);
            EXPECT_EQ(std::optional(project.kind), c.kind);
            EXPECT_TRUE(project.compoundFile.empty());
        } catch (const VbaError& error) {
            EXPECT_FALSE(c.kind.has_value()) << error.what();
            EXPECT_NE(std::string(error.what()).find("damaged"), std::string::npos) << error.what();
        }
    }
}

}  // namespace
}  // namespace tabrook::calcserver::vba
