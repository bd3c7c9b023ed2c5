// What the finishing process hands back: frames, an answer in each, and the report text of
// a placed answer. Parsed, and when accepted, written again and parsed to the same value,
// within their bounds.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "calcserver/finish/finish_protocol.h"
#include "calcserver/report/conversion_report.h"

namespace {

using tabrook::calcserver::report::ConversionReport;
namespace finish = tabrook::calcserver::finish;

void CheckReport(std::string_view text) {
    const auto parsed = ConversionReport::Parse(text);
    if (!parsed) {
        return;
    }
    if (parsed->Items().size() > ConversionReport::kMaxItems ||
        ConversionReport::Parse(parsed->Serialize()) != parsed) {
        std::abort();
    }
}

void CheckAnswer(std::string_view body) {
    const auto answer = finish::DecodeAnswer(body);
    if (!answer) {
        return;
    }
    const auto again = finish::DecodeAnswer(finish::EncodeAnswer(*answer));
    if (!again || again->placed != answer->placed || again->retire != answer->retire ||
        again->text != answer->text || again->number != answer->number ||
        again->description != answer->description) {
        std::abort();
    }
    if (answer->placed) {
        CheckReport(answer->text);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    CheckReport(bytes);
    finish::FrameReader reader;
    // In two pieces, as a socket may deliver them.
    reader.Feed(bytes.substr(0, size / 2));
    reader.Feed(bytes.substr(size / 2));
    while (const auto body = reader.Next()) {
        if (body->size() > finish::kMaxFrameBody) {
            std::abort();
        }
        CheckAnswer(*body);
    }
    return 0;
}
