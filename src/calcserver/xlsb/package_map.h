#pragma once
// The package's content types and relationships: read from the Office Open XML package,
// rewritten for the binary workbook.

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "calcserver/package/part_names.h"

namespace tabrook::calcserver::xlsb {

struct ContentTypes {
    std::map<std::string, std::string> defaults;   // extension (lower case) -> type
    std::map<std::string, std::string> overrides;  // part name without leading '/' -> type

    // The part's type, or "" when neither an override nor a default names it.
    std::string TypeOf(const std::string& part) const;
};

ContentTypes ParseContentTypes(std::string_view xml);
std::string WriteContentTypes(const ContentTypes& types);

struct Relationship {
    std::string id;
    std::string type;
    std::string target;
    bool external = false;
};

std::vector<Relationship> ParseRelationships(std::string_view xml);
std::string WriteRelationships(const std::vector<Relationship>& relationships);

// Whether the relationship type ends with "/<kind>".
bool HasRelationshipKind(const Relationship& relationship, std::string_view kind);

}  // namespace tabrook::calcserver::xlsb
