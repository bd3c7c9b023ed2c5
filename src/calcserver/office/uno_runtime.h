#pragma once
// UNO-side definitions shared by the office code; never included outside office/.

#include <com/sun/star/uno/XComponentContext.hpp>
#include <rtl/ustring.hxx>
#include <string>
#include <string_view>

#include "calcserver/office/office_environment.h"

namespace tabrook::calcserver::office {

struct OfficeEnvironment::Uno {
    com::sun::star::uno::Reference<com::sun::star::uno::XComponentContext> context;
};

inline rtl::OUString ToOUString(std::string_view utf8) {
    return rtl::OUString(utf8.data(), static_cast<sal_Int32>(utf8.size()), RTL_TEXTENCODING_UTF8);
}

inline std::string ToUtf8(const rtl::OUString& text) {
    const rtl::OString bytes = rtl::OUStringToOString(text, RTL_TEXTENCODING_UTF8);
    return std::string(bytes.getStr(), static_cast<std::size_t>(bytes.getLength()));
}

}  // namespace tabrook::calcserver::office
