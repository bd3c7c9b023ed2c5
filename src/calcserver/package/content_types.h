#pragma once
// [Content_Types].xml: which content type each part of a package has.

#include <map>
#include <string>
#include <string_view>

namespace tabrook::calcserver::package {

inline constexpr std::string_view kContentTypesPart = "[Content_Types].xml";

// Part names and extensions compare without regard to ASCII letter case, as the package
// format says.
struct CaseBlindLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
};

struct ContentTypes {
    std::map<std::string, std::string, CaseBlindLess> defaults;   // extension -> type
    std::map<std::string, std::string, CaseBlindLess> overrides;  // part, no leading "/"

    // The part's type, or "" when neither an override nor a default names it.
    std::string TypeOf(std::string_view part) const;
};

// Throws PackageError when the XML is not well-formed or lists no types.
ContentTypes ParseContentTypes(std::string_view xml);
std::string WriteContentTypes(const ContentTypes& types);

}  // namespace tabrook::calcserver::package
