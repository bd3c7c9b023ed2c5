#pragma once
// What the server and tabrook-finish say to each other over one socket: the server sends a
// request, the finishing process answers it, one at a time. Every message is a frame,
// "LENGTH\n" and that many bytes, so that a path may hold any byte but NUL.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "calcserver/finish/finish_package.h"

namespace tabrook::calcserver::finish {

// Larger than any request (four paths) or answer (a report is held to 64 KiB) can be.
inline constexpr std::size_t kMaxFrameBody = 256 * 1024;

std::string Frame(std::string_view body);

// Writes all of `bytes` to a socket; false when the other end is gone. Never raises SIGPIPE.
bool SendAll(int socket, std::string_view bytes);

// Collects frames from a stream that arrives in pieces of any size.
class FrameReader {
  public:
    void Feed(std::string_view bytes);
    // Waits for what `descriptor` has next and feeds it; false when the stream has ended or
    // failed.
    bool ReadFrom(int descriptor);
    // The next whole frame's body, if one has arrived.
    std::optional<std::string> Next();
    // The stream is not frames (a bad length or one past kMaxFrameBody); nothing more comes.
    bool Broken() const { return broken_; }
    // Bytes of a frame that has not arrived whole.
    bool Pending() const { return !buffer_.empty(); }

  private:
    std::string buffer_;
    bool broken_ = false;
};

std::string EncodeRequest(const FinishRequest& request);
std::optional<FinishRequest> DecodeRequest(std::string_view body);

// The finishing steps placed the target and changed what `text` (a serialized report)
// says, or refused with an error number and description.
struct FinishAnswer {
    bool placed = false;
    std::string text;         // placed: the report
    std::int32_t number = 0;  // refused
    std::string description;  // refused
    bool retire = false;      // the process should not serve another workbook
};

std::string EncodeAnswer(const FinishAnswer& answer);
std::optional<FinishAnswer> DecodeAnswer(std::string_view body);

}  // namespace tabrook::calcserver::finish
