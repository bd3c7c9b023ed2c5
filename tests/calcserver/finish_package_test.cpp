// The finishing step on its own: only a complete package reaches the target, and a refused
// one leaves the target as it was.

#include "calcserver/finish/finish_package.h"

#include <gtest/gtest.h>

#include <fstream>

#include "calcserver/package/zip_package.h"
#include "platform/automation.h"
#include "support/temp_dir.h"

namespace tabrook::calcserver::finish {
namespace {

using testing::TempDir;

std::size_t EntryCount(const std::filesystem::path& folder) {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder),
                                                  std::filesystem::directory_iterator()));
}

constexpr const char* kWorkbook =
    "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheets/>"
    "</workbook>";

TEST(FinishPackage, PlacesACompletePackageAndReplacesAnOldTarget) {
    TempDir dir;
    const auto output = dir.Path() / "office" / "save-1.xlsx";
    std::filesystem::create_directories(output.parent_path());
    {
        // The smallest package a workbook reader accepts: one part, found through its
        // relationship and content type.
        package::ZipWriter writer(output);
        writer.Add("[Content_Types].xml",
                   "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
                   "<Override PartName=\"/xl/workbook.xml\" ContentType=\"application/"
                   "vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/></Types>");
        writer.Add("_rels/.rels",
                   "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/"
                   "relationships\"><Relationship Id=\"rId1\" Type=\"http://"
                   "schemas.openxmlformats.org/officeDocument/2006/relationships/"
                   "officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>");
        writer.Add("xl/workbook.xml", kWorkbook);
        writer.Commit();
    }
    const auto target = dir.Write("out/book.xlsx", "old content");
    FinishPackage({dir.Path() / "book.xls", output, 51, target});
    EXPECT_EQ(package::ZipReader(target).Read("xl/workbook.xml"), kWorkbook);
    EXPECT_EQ(EntryCount(target.parent_path()), 1u);  // no temporary file left beside it
}

TEST(FinishPackage, RefusesAnIncompletePackageAndKeepsTheTarget) {
    TempDir dir;
    const auto target = dir.Write("out/book.xlsx", "old content");
    for (const char* content : {"", "not a zip at all"}) {
        const auto output = dir.Write("office/save.xlsx", content);
        try {
            FinishPackage({dir.Path() / "book.xls", output, 51, target});
            ADD_FAILURE() << "accepted '" << content << "'";
        } catch (const platform::AutomationError& error) {
            EXPECT_EQ(error.Number(), platform::kErrApplicationDefined);
            EXPECT_NE(error.Description().find(target.string()), std::string::npos);
        }
    }
    std::ifstream in(target);
    std::string kept((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(kept, "old content");
    EXPECT_EQ(EntryCount(target.parent_path()), 1u);
}

TEST(FinishPackage, TreatsAnotherPathToTheSourceAsTheSource) {
    TempDir dir;
    const auto source = dir.Write("book.xls", "x");
    std::filesystem::create_symlink(source, dir.Path() / "link.xlsx");
    EXPECT_THROW(CheckTarget(source, dir.Path() / "link.xlsx"), platform::AutomationError);
    EXPECT_THROW(CheckTarget(source, dir.Path() / "." / "book.xls"), platform::AutomationError);
    EXPECT_NO_THROW(CheckTarget(source, dir.Path() / "book.xlsx"));
}

}  // namespace
}  // namespace tabrook::calcserver::finish
