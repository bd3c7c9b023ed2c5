#include "calcserver/vba/source_project.h"

#include <gtest/gtest.h>

#include "calcserver/vba/vba_error.h"
#include "support/temp_dir.h"
#include "vba/compound_fixture.h"

namespace tabrook::calcserver::vba {
namespace {

using namespace std::string_literals;
using tabrook::testing::TempDir;
using testing::CompoundEntry;
using testing::ReadCompoundFile;
using testing::Storage;
using testing::Stream;
using testing::WriteCompoundFile;

const std::string kFormClassId("\x12\x34\x56\x78\x9a\xbc\xde\xf0\x01\x02\x03\x04\x05\x06\x07\x08",
                               16);
const std::string kProjectClassId(16, '\x07');
const std::string kSignature =
    "\x05"
    "DigitalSignature";

// The streams every project has; `dir` opens like a compressed container.
std::vector<CompoundEntry> MinimalProject() {
    return {Stream("Workbook", "not part of the project"),
            Storage("_VBA_PROJECT_CUR", kProjectClassId),
            Stream("_VBA_PROJECT_CUR/PROJECT", "ID=\"{00000000}\"\r\nDocument=Sheet1/&H00000000"),
            Storage("_VBA_PROJECT_CUR/VBA"),
            Stream("_VBA_PROJECT_CUR/VBA/_VBA_PROJECT", std::string("\xcc\x61\xff\xff\x00", 5)),
            Stream("_VBA_PROJECT_CUR/VBA/dir", std::string("\x01\x10\xb0\x00", 4))};
}

std::filesystem::path WriteWorkbook(const TempDir& dir, const std::vector<CompoundEntry>& entries) {
    const auto file = dir.Path() / "book.xls";
    WriteCompoundFile(file, entries);
    return file;
}

TEST(SourceProject, CopiesEveryStreamAndStorageUnchangedAndDropsOnlyTopSignatures) {
    TempDir dir;
    std::vector<CompoundEntry> entries = MinimalProject();
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
    const auto copyFile = dir.Write("vbaProject.bin", project.compoundFile);
    auto expected = ReadCompoundFile(workbook, "_VBA_PROJECT_CUR");
    for (const std::string& signature : {kSignature, kSignature + "Agile", kSignature + "Ex"}) {
        ASSERT_EQ(expected.erase(signature), 1u);
    }
    expected[""].classId = std::string(16, '\0');  // the new root's class id is null
    const auto copied = ReadCompoundFile(copyFile);
    ASSERT_EQ(copied.size(), expected.size());
    for (const auto& [path, entry] : expected) {
        SCOPED_TRACE(path);
        ASSERT_EQ(copied.count(path), 1u);
        EXPECT_EQ(copied.at(path).storage, entry.storage);
        EXPECT_EQ(copied.at(path).data, entry.data);
        EXPECT_EQ(copied.at(path).classId, entry.classId);
    }
    EXPECT_EQ(copied.at("UserForm1").classId, kFormClassId);
    EXPECT_EQ(project.streams, 8u);
    EXPECT_EQ(project.storages, 3u);
    EXPECT_EQ(project.droppedSignatures.size(), 3u);
}

TEST(SourceProject, TellsWhichKindOfProjectTheWorkbookHolds) {
    TempDir dir;
    const std::vector<CompoundEntry> plain = {Stream("Workbook", "cells")};
    const std::vector<CompoundEntry> legacy = {Stream("Book", "cells"), Storage("_VBA_PROJECT"),
                                               Stream("_VBA_PROJECT/dir", "\x01")};
    WriteCompoundFile(dir.Path() / "plain.xls", plain);
    WriteCompoundFile(dir.Path() / "legacy.xls", legacy);
    dir.Write("empty.xls", "");
    dir.Write("text.xls", "a;b;c\n1;2;3\n");
    const std::pair<const char*, ProjectKind> cases[] = {{"plain.xls", ProjectKind::None},
                                                         {"legacy.xls", ProjectKind::Legacy},
                                                         {"empty.xls", ProjectKind::None},
                                                         {"text.xls", ProjectKind::None}};
    for (const auto& [name, kind] : cases) {
        SCOPED_TRACE(name);
        const SourceProject project = ReadSourceProject(dir.Path() / name, true);
        EXPECT_EQ(project.kind, kind);
        EXPECT_TRUE(project.compoundFile.empty());
    }
}

TEST(SourceProject, DamagedProjectsAreRefusedWithAReason) {
    TempDir dir;
    const auto without = [](const std::string& path) {
        std::vector<CompoundEntry> entries = MinimalProject();
        std::erase_if(entries, [&](const CompoundEntry& e) { return e.path == path; });
        return entries;
    };
    std::vector<CompoundEntry> badDir = MinimalProject();
    badDir.back().data = "plain text, not compressed";
    const std::pair<std::string, std::vector<CompoundEntry>> cases[] = {
        {"no PROJECT", without("_VBA_PROJECT_CUR/PROJECT")},
        {"no dir", without("_VBA_PROJECT_CUR/VBA/dir")},
        {"no _VBA_PROJECT", without("_VBA_PROJECT_CUR/VBA/_VBA_PROJECT")},
        {"dir not compressed", badDir},
        {"project is a stream", {Stream("Workbook", "x"), Stream("_VBA_PROJECT_CUR", "x")}},
    };
    for (const auto& [label, entries] : cases) {
        SCOPED_TRACE(label);
        const auto file = WriteWorkbook(dir, entries);
        EXPECT_THROW(ReadSourceProject(file, true), VbaError);
    }

    // A compound file cut short: its header is fine, its sectors are gone.
    std::vector<CompoundEntry> entries = MinimalProject();
    entries.push_back(Stream("_VBA_PROJECT_CUR/VBA/Module1", std::string(9000, 'm')));
    const auto whole = WriteWorkbook(dir, entries);
    std::filesystem::resize_file(whole, 4096);
    try {
        ReadSourceProject(whole, true);
        ADD_FAILURE() << "a truncated workbook was accepted";
    } catch (const VbaError& error) {
        EXPECT_NE(std::string(error.what()).find("damaged"), std::string::npos) << error.what();
    }
}

}  // namespace
}  // namespace tabrook::calcserver::vba
