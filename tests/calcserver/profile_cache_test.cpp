#include "calcserver/office/profile_cache.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>

#include "support/temp_dir.h"

namespace tabrook::calcserver::office {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

// A profile as an office leaves it after its first start.
void MakeStartedProfile(const TempDir& work) {
    work.Write("started/user/extensions/buildid", "40(Build:2)");
    work.Write("started/user/extensions/shared/registry/backenddb.xml", "<db/>");
    work.Write("started/user/registrymodifications.xcu", "<settings the office changed/>");
    work.Write("started/user/GraphicsRenderTests.log", "log");
}

TEST(ProfileCache, KeepsAStartedProfileAndCopiesItButNeverItsSettingsOrLogs) {
    TempDir work;
    MakeStartedProfile(work);
    const ProfileCache cache(work.Path() / "cache", "40(Build:2)-1");
    EXPECT_FALSE(cache.CopyInto(work.Path() / "first"));

    cache.Keep(work.Path() / "started");
    ASSERT_TRUE(cache.CopyInto(work.Path() / "second"));
    EXPECT_TRUE(fs::exists(work.Path() / "second/user/extensions/shared/registry/backenddb.xml"));
    EXPECT_FALSE(fs::exists(work.Path() / "second/user/registrymodifications.xcu"));
    EXPECT_FALSE(fs::exists(work.Path() / "second/user/GraphicsRenderTests.log"));
    // Only letters, digits and a few marks name the folder; nothing but it is left.
    EXPECT_EQ(cache.PreparedFolder().filename(), "profile-40_Build_2_-1");
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(work.Path() / "cache")) {
        ++entries;
    }
    EXPECT_EQ(entries, 1u);

    cache.Forget();
    EXPECT_FALSE(cache.CopyInto(work.Path() / "third"));
    EXPECT_FALSE(fs::exists(cache.PreparedFolder()));
}

struct Damage {
    const char* name;
    std::function<void(const fs::path& prepared)> apply;
};

class DamagedCache : public ::testing::TestWithParam<Damage> {};

TEST_P(DamagedCache, IsNeverCopiedAndLeavesTheProfileAsItWas) {
    TempDir work;
    MakeStartedProfile(work);
    const ProfileCache cache(work.Path() / "cache", "key");
    cache.Keep(work.Path() / "started");
    GetParam().apply(cache.PreparedFolder());
    EXPECT_FALSE(cache.CopyInto(work.Path() / "fresh"));
    EXPECT_FALSE(fs::exists(work.Path() / "fresh/user/extensions/buildid"));
    // The next office that starts fresh prepares it again.
    cache.Keep(work.Path() / "started");
    EXPECT_TRUE(cache.CopyInto(work.Path() / "again"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DamagedCache,
    ::testing::Values(
        Damage{"ManifestMissing", [](const fs::path& p) { fs::remove(p / "manifest"); }},
        Damage{"FileCutShort",
               [](const fs::path& p) {
                   std::ofstream(p / "user/extensions/shared/registry/backenddb.xml") << "<d";
               }},
        Damage{"FileMissing", [](const fs::path& p) { fs::remove(p / "user/extensions/buildid"); }},
        Damage{
            "ManifestClimbsOut",
            [](const fs::path& p) { std::ofstream(p / "manifest", std::ios::app) << "3 ../x\n"; }},
        Damage{"ManifestGarbled",
               [](const fs::path& p) { std::ofstream(p / "manifest", std::ios::app) << "x\n"; }}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(ProfileCache, WithoutAFolderOrKeyKeepsNothing) {
    TempDir work;
    MakeStartedProfile(work);
    for (const ProfileCache& cache :
         {ProfileCache("", "key"), ProfileCache(work.Path() / "cache", "")}) {
        cache.Keep(work.Path() / "started");
        EXPECT_FALSE(cache.CopyInto(work.Path() / "fresh"));
    }
    EXPECT_FALSE(fs::exists(work.Path() / "cache"));
}

}  // namespace
}  // namespace tabrook::calcserver::office
