#pragma once
// A part's relationships (its "_rels/NAME.rels" part): read, changed and written back.

#include <string>
#include <string_view>
#include <vector>

namespace tabrook::calcserver::package {

class ZipReader;

struct Relationship {
    std::string id;
    std::string type;
    std::string target;  // as written: relative to the owner's folder unless external
    bool external = false;
};

// Throws PackageError when the XML is not well-formed or is not a relationship list.
std::vector<Relationship> ParseRelationships(std::string_view xml);
std::string WriteRelationships(const std::vector<Relationship>& relationships);

// The relationships of `part` ("" for the package's own); none when it has no .rels part.
// Throws PackageError when the .rels part cannot be read.
std::vector<Relationship> RelationshipsOf(const ZipReader& zip, std::string_view part);

// Whether the relationship type ends with "/<kind>" ("worksheet", "officeDocument", ...),
// which holds for the transitional and the strict namespaces alike.
bool HasRelationshipKind(const Relationship& relationship, std::string_view kind);

// Adds an internal relationship under the first unused id "rIdN" and returns that id.
std::string AddRelationship(std::vector<Relationship>& relationships, std::string_view type,
                            std::string_view target);

}  // namespace tabrook::calcserver::package
