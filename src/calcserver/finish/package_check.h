#pragma once
// The last look at a package before it reaches the user: what Excel would refuse or have
// to "repair" is mended where the fix is certain and refused otherwise.

#include <filesystem>
#include <string>
#include <vector>

namespace tabrook::calcserver::finish {

// Mends what the office writes badly where the fix is certain: escapes each "&" that
// begins no character or entity reference, in parts that do not parse as they stand and
// parse once mended (the office writes a "&" of a cached text bare), and removes from
// drawings the anchors that hold no object (form controls the office could not write).
// Rewrites `package` in place when a part was mended; returns the names of the mended
// parts. Throws package::PackageError when the package cannot be read.
std::vector<std::string> MendPackage(const std::filesystem::path& package);

// What is wrong with the package, one plain sentence a fault, empty when nothing is: an XML
// part that is not well-formed, a relationship whose target part is missing, a part that no
// content type covers, a drawing anchor that holds no object. Never throws for a malformed package;
// says so instead.
std::vector<std::string> PackageFaults(const std::filesystem::path& package);

}  // namespace tabrook::calcserver::finish
