#include "calcserver/xlsb/sax_reader.h"

#include <expat.h>

#include <exception>
#include <functional>
#include <memory>

#include "calcserver/package/zip_package.h"
#include "calcserver/xlsb/xlsb_error.h"

namespace tabrook::calcserver::xlsb {
namespace {

constexpr char kSeparator = '\x01';

std::string_view Local(const char* name) {
    const std::string_view full(name);
    const auto cut = full.rfind(kSeparator);
    return cut == std::string_view::npos ? full : full.substr(cut + 1);
}

struct Session {
    SaxHandler& handler;
    XML_Parser parser;
    std::exception_ptr failure;
};

void Stop(Session& session) {
    session.failure = std::current_exception();
    XML_StopParser(session.parser, XML_FALSE);
}

void OnStart(void* data, const char* name, const char** attributes) {
    auto& session = *static_cast<Session*>(data);
    try {
        session.handler.Start(Local(name), Attributes(attributes));
    } catch (...) {
        Stop(session);
    }
}

void OnEnd(void* data, const char* name) {
    auto& session = *static_cast<Session*>(data);
    try {
        session.handler.End(Local(name));
    } catch (...) {
        Stop(session);
    }
}

void OnText(void* data, const char* text, int length) {
    auto& session = *static_cast<Session*>(data);
    try {
        session.handler.Text(std::string_view(text, static_cast<std::size_t>(length)));
    } catch (...) {
        Stop(session);
    }
}

}  // namespace

const char* Attributes::Get(std::string_view local_name) const {
    for (const char** at = pairs_; at != nullptr && *at != nullptr; at += 2) {
        if (Local(at[0]) == local_name) {
            return at[1];
        }
    }
    return nullptr;
}

namespace {

using ChunkSink = std::function<void(std::string_view chunk)>;

// Runs `handler` over the chunks that `produce` hands to its sink, as one document.
void ParseChunks(const std::string& name, SaxHandler& handler,
                 const std::function<void(const ChunkSink&)>& produce) {
    std::unique_ptr<XML_ParserStruct, decltype(&XML_ParserFree)> parser(
        XML_ParserCreateNS(nullptr, kSeparator), &XML_ParserFree);
    if (!parser) {
        throw XlsbError("out of memory while reading " + name);
    }
    Session session{handler, parser.get(), nullptr};
    XML_SetUserData(parser.get(), &session);
    XML_SetElementHandler(parser.get(), OnStart, OnEnd);
    XML_SetCharacterDataHandler(parser.get(), OnText);
    const auto fail = [&](XML_Status status) {
        if (session.failure) {
            std::rethrow_exception(session.failure);
        }
        if (status == XML_STATUS_ERROR) {
            throw XlsbError("the part " + name + " is not well-formed XML (line " +
                            std::to_string(XML_GetCurrentLineNumber(parser.get())) + ": " +
                            XML_ErrorString(XML_GetErrorCode(parser.get())) + ")");
        }
    };
    // The reader does not close its entry when the sink throws, so a failure is kept
    // until the stream ends and the rest of the part is skipped.
    std::exception_ptr stopped;
    produce([&](std::string_view chunk) {
        if (stopped) {
            return;
        }
        try {
            fail(XML_Parse(parser.get(), chunk.data(), static_cast<int>(chunk.size()), XML_FALSE));
        } catch (...) {
            stopped = std::current_exception();
        }
    });
    if (stopped) {
        std::rethrow_exception(stopped);
    }
    fail(XML_Parse(parser.get(), nullptr, 0, XML_TRUE));
}

}  // namespace

void ReadPart(const package::ZipReader& zip, const std::string& part, SaxHandler& handler) {
    ParseChunks(part, handler, [&](const ChunkSink& sink) {
        try {
            zip.Stream(part, sink);
        } catch (const package::PackageError& error) {
            throw XlsbError(error.what());
        }
    });
}

void ReadXml(std::string_view xml, const std::string& name, SaxHandler& handler) {
    constexpr std::size_t kChunk = 1 << 20;  // expat takes an int length
    ParseChunks(name, handler, [&](const ChunkSink& sink) {
        for (std::size_t at = 0; at < xml.size(); at += kChunk) {
            sink(xml.substr(at, kChunk));
        }
    });
}

}  // namespace tabrook::calcserver::xlsb
