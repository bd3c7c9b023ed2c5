#pragma once
// Record identifiers of the BIFF8 records this reader looks at.

#include <cstdint>

namespace tabrook::calcserver::biff::record_id {

inline constexpr std::uint16_t kBof = 0x0809;
inline constexpr std::uint16_t kBofBiff2 = 0x0009;
inline constexpr std::uint16_t kBofBiff3 = 0x0209;
inline constexpr std::uint16_t kBofBiff4 = 0x0409;
inline constexpr std::uint16_t kEof = 0x000A;
inline constexpr std::uint16_t kFilePass = 0x002F;
inline constexpr std::uint16_t kBoundSheet = 0x0085;
inline constexpr std::uint16_t kCodeName = 0x01BA;
inline constexpr std::uint16_t kSst = 0x00FC;
inline constexpr std::uint16_t kContinue = 0x003C;
inline constexpr std::uint16_t kWsBool = 0x0081;

inline constexpr std::uint16_t kName = 0x0018;
inline constexpr std::uint16_t kExternSheet = 0x0017;
inline constexpr std::uint16_t kSupBook = 0x01AE;
inline constexpr std::uint16_t kExternName = 0x0023;

inline constexpr std::uint16_t kFormat = 0x041E;
inline constexpr std::uint16_t kFont = 0x0031;
inline constexpr std::uint16_t kXf = 0x00E0;
inline constexpr std::uint16_t kStyle = 0x0293;
inline constexpr std::uint16_t kPalette = 0x0092;
inline constexpr std::uint16_t kColInfo = 0x007D;
inline constexpr std::uint16_t kRow = 0x0208;
inline constexpr std::uint16_t kMergeCells = 0x00E5;
inline constexpr std::uint16_t kDefColWidth = 0x0055;
inline constexpr std::uint16_t kStandardWidth = 0x0099;
inline constexpr std::uint16_t kDefaultRowHeight = 0x0225;

inline constexpr std::uint16_t kNumber = 0x0203;
inline constexpr std::uint16_t kRk = 0x027E;
inline constexpr std::uint16_t kMulRk = 0x00BD;
inline constexpr std::uint16_t kLabelSst = 0x00FD;
inline constexpr std::uint16_t kLabel = 0x0204;
inline constexpr std::uint16_t kRString = 0x00D6;
inline constexpr std::uint16_t kBoolErr = 0x0205;
inline constexpr std::uint16_t kFormula = 0x0006;
inline constexpr std::uint16_t kString = 0x0207;
inline constexpr std::uint16_t kBlank = 0x0201;
inline constexpr std::uint16_t kMulBlank = 0x00BE;

}  // namespace tabrook::calcserver::biff::record_id
