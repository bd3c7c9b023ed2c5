#pragma once
// Text crosses into UTF-16 system calls and back. Paths travel through the program as
// UTF-8; Windows names are UTF-16 and may hold unpaired surrogates, so both directions
// use WTF-8 (UTF-8 that also spells a lone surrogate), and every name the system gives
// comes back to the very same name.

#include <string>
#include <string_view>

namespace tabrook::platform {

// Bytes that are no UTF-8 at all become U+FFFD, one for each byte.
std::u16string WidenUtf8(std::string_view text);

std::string NarrowUtf16(std::u16string_view text);

}  // namespace tabrook::platform
