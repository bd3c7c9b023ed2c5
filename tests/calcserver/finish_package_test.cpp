// The finishing step on its own: only a complete, sound package reaches the target, never
// over another file, and a refused one leaves the target as it was.

#include "calcserver/finish/finish_package.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "calcserver/finish/finish_process.h"
#include "calcserver/finish/finish_protocol.h"
#include "calcserver/package/zip_package.h"
#include "platform/atomic_file.h"
#include "platform/automation.h"
#include "support/temp_dir.h"

extern char** environ;

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

constexpr const char* kRelationships =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";

// The smallest package a workbook reader accepts (one part, found through its relationship
// and content type), with `extra` parts and workbook relationships added.
void WritePackage(const std::filesystem::path& file,
                  const std::vector<std::pair<std::string, std::string>>& extra = {},
                  const std::string& workbookRelationships = "") {
    std::filesystem::create_directories(file.parent_path());
    package::ZipWriter writer(file);
    writer.Add("[Content_Types].xml",
               "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
               "<Default Extension=\"rels\" ContentType=\"application/"
               "vnd.openxmlformats-package.relationships+xml\"/>"
               "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
               "<Override PartName=\"/xl/workbook.xml\" ContentType=\"application/"
               "vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
               "<Override PartName=\"/xl/drawings/drawing1.xml\" ContentType=\"application/"
               "vnd.openxmlformats-officedocument.drawing+xml\"/></Types>");
    writer.Add("_rels/.rels", std::string("<Relationships><Relationship Id=\"rId1\" Type=\"") +
                                  kRelationships +
                                  "officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>");
    writer.Add("xl/workbook.xml", kWorkbook);
    writer.Add("xl/_rels/workbook.xml.rels",
               "<Relationships>" + workbookRelationships + "</Relationships>");
    for (const auto& [name, content] : extra) {
        writer.Add(name, content);
    }
    writer.Commit();
}

std::string FileText(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(FinishPackage, PlacesACompletePackageButNeverOverAnotherFile) {
    TempDir dir;
    const auto output = dir.Path() / "office" / "save-1.xlsx";
    WritePackage(output);
    const auto target = dir.Path() / "out" / "book.xlsx";
    std::filesystem::create_directories(target.parent_path());
    FinishPackage({dir.Path() / "book.xls", output, 51, target});
    EXPECT_EQ(package::ZipReader(target).Read("xl/workbook.xml"), kWorkbook);
    EXPECT_EQ(EntryCount(target.parent_path()), 1u);  // no temporary file left beside it

    // A file at the name, there before the save or put there while it ran, stays untouched.
    const std::string placed = FileText(target);
    EXPECT_THROW(FinishPackage({dir.Path() / "book.xls", output, 51, target}),
                 platform::AutomationError);
    EXPECT_EQ(FileText(target), placed);
    {
        platform::AtomicFile late(target);
        late.Append("finished");
        try {
            late.Commit(platform::Placement::kNeverReplace);
            ADD_FAILURE() << "replaced the file at the target";
        } catch (const platform::TargetTaken& error) {
            EXPECT_NE(std::string(error.what()).find(target.string()), std::string::npos);
        }
    }
    EXPECT_EQ(FileText(target), placed);
    EXPECT_EQ(EntryCount(target.parent_path()), 1u);  // the refused temporary is gone
}

constexpr const char* kEmptyAnchor =
    "<xdr:twoCellAnchor><xdr:from/><xdr:to/><xdr:clientData/></xdr:twoCellAnchor>";
constexpr const char* kPictureAnchor =
    "<xdr:oneCellAnchor><xdr:from/><xdr:pic/><xdr:clientData/></xdr:oneCellAnchor>";

// What the office writes badly is mended where the fix is certain and refused otherwise;
// a package Excel would have to repair never counts as converted.
TEST(FinishPackage, MendsAStrayAmpersandAndRefusesOtherFaults) {
    const std::string link = "xl/externalLinks/externalLink1.xml";
    struct Case {
        const char* what;
        std::vector<std::pair<std::string, std::string>> parts;
        std::string relationships;
        const char* fault;  // nullptr: converted
    };
    const std::vector<Case> cases{
        {"a bare ampersand in a cached text",
         {{link, "<externalLink><v>BS&W &amp; A&#38;B &#x26; &lt;</v></externalLink>"}},
         "",
         nullptr},
        {"an element never closed",
         {{link, "<externalLink><v>1</externalLink>"}},
         "",
         "not well-formed"},
        {"a relationship to a part that is not there",
         {},
         std::string("<Relationship Id=\"rId9\" Type=\"") + kRelationships +
             "worksheet\" Target=\"worksheets/sheet9.xml\"/>",
         "missing part xl/worksheets/sheet9.xml"},
        {"a part no content type covers", {{"xl/media/image1.png", "png"}}, "", "no content type"},
        {"a drawing whose control anchors hold no object",
         {{"xl/drawings/drawing1.xml", std::string("<xdr:wsDr xmlns:xdr=\"x\">") + kEmptyAnchor +
                                           kPictureAnchor + kEmptyAnchor + "</xdr:wsDr>"}},
         "",
         nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const auto output = dir.Path() / "office" / "save-1.xlsx";
        WritePackage(output, c.parts, c.relationships);
        const auto target = dir.Path() / "book.xlsx";
        if (c.fault == nullptr) {
            FinishPackage({dir.Path() / "book.xls", output, 51, target});
            const package::ZipReader result(target);
            if (result.Has(link)) {
                EXPECT_EQ(result.Read(link),
                          "<externalLink><v>BS&amp;W &amp; A&#38;B &#x26; "
                          "&lt;</v></externalLink>");
            } else {
                EXPECT_EQ(
                    result.Read("xl/drawings/drawing1.xml"),
                    std::string("<xdr:wsDr xmlns:xdr=\"x\">") + kPictureAnchor + "</xdr:wsDr>");
            }
            continue;
        }
        try {
            FinishPackage({dir.Path() / "book.xls", output, 51, target});
            ADD_FAILURE() << "converted";
        } catch (const platform::AutomationError& error) {
            EXPECT_EQ(error.Number(), platform::kErrApplicationDefined);
            EXPECT_NE(error.Description().find(c.fault), std::string::npos) << error.Description();
            EXPECT_NE(error.Description().find(target.string()), std::string::npos);
        }
        EXPECT_FALSE(std::filesystem::exists(target));
    }
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

std::filesystem::path FinishProgram() {
    return std::filesystem::read_symlink("/proc/self/exe").parent_path() / "tabrook-finish";
}

// One process serves save after save; a refusal costs that save, not the process.
TEST(FinishingProcess, PlacesPackagesOneAfterAnotherAndPassesOnRefusals) {
    TempDir dir;
    const auto starts = dir.Path() / "starts";
    const auto program = FinishProgram();
    const auto wrapper = dir.Write("finish", "#!/bin/sh\necho >> '" + starts.string() +
                                                 "'\nexec '" + program.string() + "' \"$@\"\n");
    ::chmod(wrapper.c_str(), 0755);
    FinishingProcess process(wrapper);
    const auto source = dir.Path() / "book.xls";
    for (const char* name : {"first.xlsx", "first.xlsx", "second.xlsx"}) {
        const auto output = dir.Path() / "office" / "save.xlsx";
        WritePackage(output);
        const auto target = dir.Path() / name;
        const bool taken = std::filesystem::exists(target);
        try {
            process.Finish({source, output, 51, target});
            EXPECT_FALSE(taken) << "saved over " << name;
            EXPECT_EQ(package::ZipReader(target).Read("xl/workbook.xml"), kWorkbook);
        } catch (const platform::AutomationError& error) {
            EXPECT_TRUE(taken) << error.Description();
            EXPECT_NE(error.Description().find("never replaces"), std::string::npos)
                << error.Description();
        }
    }
    EXPECT_EQ(EntryCount(dir.Path()), 5u);  // starts, finish, office/, first, second: no temporary
    std::ifstream log(starts);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(log), {}), "\n");
}

// A server that ends, however it ends, closes its socket; the finishing process must not
// go on for nobody, whether it was waiting or had a request in hand.
TEST(FinishingProcess, EndsAtOnceWhenTheServerDoes) {
    TempDir dir;
    const auto output = dir.Path() / "office" / "save.xlsx";
    WritePackage(output);
    int ends[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
    const std::string program = FinishProgram().string();
    std::string serve = "--serve";
    char* argv[] = {const_cast<char*>(program.c_str()), serve.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[1], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
    pid_t child = -1;
    ASSERT_EQ(::posix_spawn(&child, program.c_str(), &actions, nullptr, argv, environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(ends[1]);
    const std::string frame =
        Frame(EncodeRequest({dir.Path() / "book.xls", output, 51, dir.Path() / "book.xlsx"}));
    ASSERT_EQ(::write(ends[0], frame.data(), frame.size()), static_cast<ssize_t>(frame.size()));
    ::close(ends[0]);
    int status = 0;
    pid_t ended = 0;
    for (int tries = 0; tries < 3000 && ended == 0; ++tries) {
        ended = ::waitpid(child, &status, WNOHANG);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (ended == 0) {
        ::kill(child, SIGKILL);
        ::waitpid(child, &status, 0);
        FAIL() << "the finishing process outlived its server";
    }
    EXPECT_TRUE(WIFEXITED(status)) << status;
}

}  // namespace
}  // namespace tabrook::calcserver::finish
