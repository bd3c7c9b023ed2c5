// The conversation with the finishing process: frames survive any split of the stream,
// and whatever the process does (crash, hang, garbage, refusal, vanish) the caller gets an
// ending it can report, no temporary is left, and the next save gets a working process.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <string>
#include <vector>

#include "calcserver/finish/finish_process.h"
#include "calcserver/finish/finish_protocol.h"
#include "platform/automation.h"
#include "support/temp_dir.h"

namespace tabrook::calcserver::finish {
namespace {

using testing::TempDir;

TEST(FinishProtocol, FramesArriveWholeHoweverTheStreamIsCut) {
    const std::vector<std::string> bodies = {"", "a", std::string("x\0y\n7\n", 6),
                                             std::string(kMaxFrameBody, 'z')};
    std::string stream;
    for (const std::string& body : bodies) {
        stream += Frame(body);
    }
    for (const std::size_t piece : {std::size_t{1}, std::size_t{5}, stream.size()}) {
        FrameReader reader;
        std::vector<std::string> got;
        for (std::size_t at = 0; at < stream.size(); at += piece) {
            reader.Feed(std::string_view(stream).substr(at, piece));
            while (auto body = reader.Next()) {
                got.push_back(*body);
            }
        }
        EXPECT_EQ(got, bodies) << "pieces of " << piece;
        EXPECT_FALSE(reader.Broken());
        EXPECT_FALSE(reader.Pending());
    }
}

TEST(FinishProtocol, AStreamThatIsNotFramesIsBrokenNotBuffered) {
    const std::vector<std::string> streams = {"abc\n",
                                              "-1\n",
                                              "12x\n",
                                              "\n",
                                              "123456789012",
                                              "99999999\n",
                                              std::to_string(kMaxFrameBody + 1) + "\n"};
    for (const std::string& stream : streams) {
        FrameReader reader;
        reader.Feed(stream);
        EXPECT_FALSE(reader.Next()) << stream;
        EXPECT_TRUE(reader.Broken()) << stream;
        reader.Feed("1\nx");
        EXPECT_FALSE(reader.Next()) << stream;
    }
}

TEST(FinishProtocol, RequestsAndAnswersSurviveTheirEncoding) {
    const FinishRequest request{"/a b/ünï\ncode.xls", "/tmp/o/save-1.xlsx", 50, "/out/x\ty.xlsb"};
    const auto decoded = DecodeRequest(EncodeRequest(request));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->source, request.source);
    EXPECT_EQ(decoded->officeOutput, request.officeOutput);
    EXPECT_EQ(decoded->formatCode, 50);
    EXPECT_EQ(decoded->target, request.target);
    const std::vector<std::string> badRequests = {std::string("a\0b\0c", 5),
                                                  std::string("a\0b\0x\0d", 7),
                                                  std::string("a\0b\0"
                                                              "1\0d\0e",
                                                              10)};
    for (const std::string& bad : badRequests) {
        EXPECT_FALSE(DecodeRequest(bad));
    }

    FinishAnswer refused;
    refused.number = 1004;
    refused.description = "Tabrook cannot save 'x':\nreason";
    refused.retire = true;
    const auto back = DecodeAnswer(EncodeAnswer(refused));
    ASSERT_TRUE(back);
    EXPECT_FALSE(back->placed);
    EXPECT_TRUE(back->retire);
    EXPECT_EQ(back->number, 1004);
    EXPECT_EQ(back->description, refused.description);
    FinishAnswer placed;
    placed.placed = true;
    placed.text = "count\tx\t1\n";
    EXPECT_EQ(DecodeAnswer(EncodeAnswer(placed))->text, placed.text);
    for (const std::string_view bad : {"", "placed", "done\nx", "refused\n", "refused\nx\ny"}) {
        EXPECT_FALSE(DecodeAnswer(bad)) << bad;
    }
}

// A stand-in for tabrook-finish, written as a shell script that runs `body` once started.
std::filesystem::path FakeProgram(const TempDir& dir, const std::string& body) {
    const auto path = dir.Write("fake-finish", "#!/bin/sh\n" + body + "\n");
    ::chmod(path.c_str(), 0755);
    return path;
}

// Answers every request with an empty placed report, as the real program answers.
constexpr const char* kServe =
    "while read -r n; do head -c \"$n\" >/dev/null; printf '7\\nplaced\\n'; done";

FinishRequest RequestIn(const TempDir& dir) {
    return {dir.Path() / "book.xls", dir.Path() / "office.xlsx", 51, dir.Path() / "book.xlsx"};
}

std::string RefusalOf(FinishingProcess& process, const FinishRequest& request,
                      std::chrono::milliseconds limit = std::chrono::minutes(1)) {
    try {
        process.Finish(request, limit);
    } catch (const platform::AutomationError& error) {
        return std::to_string(error.Number()) + " " + error.Description();
    }
    return "placed";
}

TEST(FinishingProcess, EveryWayTheProcessCanFailEndsThatSaveAlone) {
    struct Case {
        const char* behaviour;
        const char* script;
        const char* expected;
    };
    const Case cases[] = {
        {"crash", "kill -SEGV $$", "fail (Segmentation fault)"},
        {"hang", "exec sleep 600", "took longer than 0 seconds"},
        {"exit", "exit 3", "ended with status 3"},
        {"garbage", "printf 'abc\\n'; exec sleep 600", "failed without saying why"},
        {"bad answer", "printf '4\\nnope'; exec sleep 600", "failed without saying why"},
        {"refusal", "printf '20\\nrefused\\n1004\\nno room'; exec sleep 600", "1004 no room"},
    };
    for (const Case& test : cases) {
        TempDir dir;
        const FinishRequest request = RequestIn(dir);
        // Takes the request, and leaves what a step stopped half-way leaves beside the target.
        const std::string leftover = "read -r n; touch '" + dir.Str() + "/.book.xlsx.tabrook-1'; ";
        FinishingProcess process(FakeProgram(dir, leftover + test.script));
        // Only the stand-in that hangs meets the short limit; the others answer or end at
        // once, however slow the machine.
        const auto limit = std::string(test.behaviour) == "hang" ? std::chrono::milliseconds(300)
                                                                 : std::chrono::minutes(1);
        const std::string refusal = RefusalOf(process, request, limit);
        EXPECT_NE(refusal.find(test.expected), std::string::npos)
            << test.behaviour << ": " << refusal;
        if (std::string(test.behaviour) != "refusal") {
            EXPECT_FALSE(std::filesystem::exists(dir.Path() / ".book.xlsx.tabrook-1"))
                << test.behaviour;
            EXPECT_FALSE(process.Reusable()) << test.behaviour;
        }
    }
}

TEST(FinishingProcess, AProcessThatEndedIsReplacedForTheNextSave) {
    TempDir dir;
    const auto starts = dir.Path() / "starts";
    // Crashes at its first request, serves after that; each start leaves a line.
    FinishingProcess process(
        FakeProgram(dir, "echo >> '" + starts.string() + "'\nif [ ! -e '" + dir.Str() +
                             "/crashed' ]; then touch '" + dir.Str() +
                             "/crashed'; read -r n; kill -KILL $$; fi\n" + kServe));
    EXPECT_NE(RefusalOf(process, RequestIn(dir)).find("fail (Killed)"), std::string::npos);
    for (int save = 0; save < 3; ++save) {
        EXPECT_EQ(RefusalOf(process, RequestIn(dir)), "placed");
    }
    EXPECT_TRUE(process.Reusable());
    std::ifstream log(starts);
    const std::string lines((std::istreambuf_iterator<char>(log)),
                            std::istreambuf_iterator<char>());
    EXPECT_EQ(lines, "\n\n");  // the crashed one, then one for all three saves
}

TEST(FinishingProcess, AMissingProgramIsNamed) {
    TempDir dir;
    FinishingProcess process(dir.Path() / "tabrook-finish");
    EXPECT_NE(RefusalOf(process, RequestIn(dir)).find("tabrook-finish is missing"),
              std::string::npos);
}

}  // namespace
}  // namespace tabrook::calcserver::finish
