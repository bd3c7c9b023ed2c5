#pragma once
// BIFF8 characters to UTF-8: "compressed" strings hold the low bytes of UTF-16 code units
// (that is, Latin-1); the others are UTF-16LE.

#include <cstdint>
#include <span>
#include <string>

namespace tabrook::calcserver::biff {

void AppendCodePoint(std::string& out, std::uint32_t codePoint);
void AppendLatin1(std::string& out, std::span<const std::uint8_t> bytes);

// Keeps the state of a surrogate pair that a record boundary may split.
class Utf16Decoder {
  public:
    explicit Utf16Decoder(std::string& out) : out_(out) {}
    ~Utf16Decoder() { Finish(); }
    Utf16Decoder(const Utf16Decoder&) = delete;
    Utf16Decoder& operator=(const Utf16Decoder&) = delete;

    void Unit(std::uint16_t unit);
    // A lone high surrogate at the end becomes U+FFFD.
    void Finish();

  private:
    std::string& out_;
    std::uint16_t pendingHigh_ = 0;
};

}  // namespace tabrook::calcserver::biff
