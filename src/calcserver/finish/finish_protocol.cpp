#include "calcserver/finish/finish_protocol.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <vector>

namespace tabrook::calcserver::finish {
namespace {

constexpr std::size_t kMaxLengthDigits = 7;  // kMaxFrameBody fits in six

template <typename Number>
bool ParseWhole(std::string_view text, Number& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && error == std::errc() && end == text.data() + text.size();
}

std::vector<std::string_view> SplitAtNul(std::string_view body) {
    std::vector<std::string_view> fields;
    for (;;) {
        const auto nul = body.find('\0');
        fields.push_back(body.substr(0, nul));
        if (nul == std::string_view::npos) {
            return fields;
        }
        body.remove_prefix(nul + 1);
    }
}

}  // namespace

std::string Frame(std::string_view body) {
    std::string frame = std::to_string(body.size());
    frame += '\n';
    frame += body;
    return frame;
}

bool SendAll(int socket, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t sent = ::send(socket, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        if (sent <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

void FrameReader::Feed(std::string_view bytes) {
    if (!broken_) {
        buffer_.append(bytes);
    }
}

bool FrameReader::ReadFrom(int descriptor) {
    char buffer[16 * 1024];
    ssize_t got = 0;
    do {
        got = ::read(descriptor, buffer, sizeof buffer);
    } while (got < 0 && errno == EINTR);
    if (got <= 0) {
        return false;
    }
    Feed(std::string_view(buffer, static_cast<std::size_t>(got)));
    return true;
}

std::optional<std::string> FrameReader::Next() {
    if (broken_) {
        return std::nullopt;
    }
    const auto newline = buffer_.find('\n');
    if (newline == std::string::npos) {
        broken_ = buffer_.size() > kMaxLengthDigits;
        return std::nullopt;
    }
    std::size_t length = 0;
    if (newline > kMaxLengthDigits ||
        !ParseWhole(std::string_view(buffer_).substr(0, newline), length) ||
        length > kMaxFrameBody) {
        broken_ = true;
        buffer_.clear();
        return std::nullopt;
    }
    if (buffer_.size() - newline - 1 < length) {
        return std::nullopt;
    }
    std::string body = buffer_.substr(newline + 1, length);
    buffer_.erase(0, newline + 1 + length);
    return body;
}

std::string EncodeRequest(const FinishRequest& request) {
    std::string body = request.source.string();
    for (const std::string& field : {request.officeOutput.string(),
                                     std::to_string(request.formatCode), request.target.string()}) {
        body += '\0';
        body += field;
    }
    return body;
}

std::optional<FinishRequest> DecodeRequest(std::string_view body) {
    const std::vector<std::string_view> fields = SplitAtNul(body);
    FinishRequest request;
    if (fields.size() != 4 || !ParseWhole(fields[2], request.formatCode)) {
        return std::nullopt;
    }
    request.source = std::string(fields[0]);
    request.officeOutput = std::string(fields[1]);
    request.target = std::string(fields[3]);
    return request;
}

// "placed" or "refused", then " retire" when the process is spent, on the first line.
std::string EncodeAnswer(const FinishAnswer& answer) {
    std::string body = answer.placed ? "placed" : "refused";
    body += answer.retire ? " retire\n" : "\n";
    if (answer.placed) {
        return body + answer.text;
    }
    return body + std::to_string(answer.number) + '\n' + answer.description;
}

std::optional<FinishAnswer> DecodeAnswer(std::string_view body) {
    FinishAnswer answer;
    const auto firstLine = body.find('\n');
    if (firstLine == std::string_view::npos) {
        return std::nullopt;
    }
    std::string_view kind = body.substr(0, firstLine);
    body.remove_prefix(firstLine + 1);
    if (kind.ends_with(" retire")) {
        answer.retire = true;
        kind.remove_suffix(7);
    }
    if (kind == "placed") {
        answer.placed = true;
        answer.text = std::string(body);
        return answer;
    }
    if (kind != "refused") {
        return std::nullopt;
    }
    const auto newline = body.find('\n');
    if (newline == std::string_view::npos || !ParseWhole(body.substr(0, newline), answer.number)) {
        return std::nullopt;
    }
    answer.description = std::string(body.substr(newline + 1));
    return answer;
}

}  // namespace tabrook::calcserver::finish
