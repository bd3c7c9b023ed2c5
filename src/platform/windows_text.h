#pragma once
// UTF-8 text of the program as the wide strings of the Windows API, and back.

#include <string>
#include <string_view>

#include "platform/wide_text.h"

namespace tabrook::platform {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "a Windows wide character is one UTF-16 unit");

inline std::wstring ToWide(std::string_view text) {
    const std::u16string wide = WidenUtf8(text);
    return std::wstring(wide.begin(), wide.end());
}

inline std::string FromWide(std::wstring_view text) {
    return NarrowUtf16(std::u16string(text.begin(), text.end()));
}

}  // namespace tabrook::platform
