#include "calcserver/package/zip_package.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "support/temp_dir.h"

namespace tabrook::calcserver::package {
namespace {

using tabrook::testing::TempDir;

TEST(ZipPackage, RoundTripsTextBinaryAndFileEntries) {
    TempDir dir;
    const auto fromFile = dir.Write("source.bin", std::string("\0\1\2big", 6));
    const auto target = dir.Path() / "out.zip";
    {
        ZipWriter writer(target);
        writer.Add("[Content_Types].xml", "<Types/>");
        writer.Add("xl/empty.bin", "");
        writer.AddFile("xl/copied.bin", fromFile);
        writer.Commit();
    }
    ZipReader reader(target);
    EXPECT_EQ(reader.EntryNames().size(), 3u);
    EXPECT_EQ(reader.Read("[Content_Types].xml"), "<Types/>");
    EXPECT_EQ(reader.Read("xl/empty.bin"), "");
    EXPECT_EQ(reader.Read("xl/copied.bin"), std::string("\0\1\2big", 6));
    EXPECT_FALSE(reader.Has("xl/missing.bin"));
    EXPECT_THROW(reader.Read("xl/missing.bin"), PackageError);
}

TEST(ZipPackage, AbandonedWriterLeavesNothingBehind) {
    TempDir dir;
    {
        ZipWriter writer(dir.Path() / "out.zip");
        writer.Add("a.xml", "<a/>");
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
}

TEST(ZipPackage, CommitNeverReplacesTargetWithHalfWrittenArchive) {
    TempDir dir;
    const auto target = dir.Write("out.zip", "previous");
    ZipWriter writer(target);
    writer.AddFile("gone.bin", dir.Path() / "does-not-exist.bin");
    EXPECT_THROW(writer.Commit(), PackageError);
    std::ifstream in(target);
    std::string kept((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(kept, "previous");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

TEST(ZipPackage, NonZipInputIsRefusedWithItsName) {
    TempDir dir;
    const auto bogus = dir.Write("bogus.xlsx", "this is not a zip archive");
    try {
        ZipReader reader(bogus);
        FAIL() << "a text file was read as a package";
    } catch (const PackageError& error) {
        EXPECT_NE(std::string(error.what()).find("bogus.xlsx"), std::string::npos);
    }
}

}  // namespace
}  // namespace tabrook::calcserver::package
