#include "calcserver/package/part_names.h"

#include <vector>

namespace tabrook::calcserver::package {

std::string RelationshipsPartOf(std::string_view part) {
    const auto slash = part.rfind('/');
    const std::string_view folder =
        slash == std::string_view::npos ? std::string_view() : part.substr(0, slash + 1);
    const std::string_view file = slash == std::string_view::npos ? part : part.substr(slash + 1);
    return std::string(folder) + "_rels/" + std::string(file) + ".rels";
}

bool OwnerOfRelationships(std::string_view relsPart, std::string& owner) {
    constexpr std::string_view kMarker = "_rels/";
    const auto at = relsPart.rfind(kMarker);
    if (at == std::string_view::npos || !relsPart.ends_with(".rels") ||
        (at != 0 && relsPart[at - 1] != '/')) {
        return false;
    }
    const std::string_view file = relsPart.substr(at + kMarker.size());
    owner = std::string(relsPart.substr(0, at)) + std::string(file.substr(0, file.size() - 5));
    return true;
}

std::string ResolvePartTarget(std::string_view fromPart, std::string_view target) {
    std::string joined;
    if (!target.empty() && target.front() == '/') {
        joined = target.substr(1);
    } else {
        const auto slash = fromPart.rfind('/');
        joined = std::string(slash == std::string_view::npos ? std::string_view()
                                                             : fromPart.substr(0, slash + 1));
        joined += target;
    }
    std::vector<std::string_view> segments;
    std::string_view rest = joined;
    while (!rest.empty()) {
        const auto slash = rest.find('/');
        const std::string_view segment = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (segment == "..") {
            if (!segments.empty()) {
                segments.pop_back();
            }
        } else if (!segment.empty() && segment != ".") {
            segments.push_back(segment);
        }
    }
    std::string resolved;
    for (const std::string_view segment : segments) {
        if (!resolved.empty()) {
            resolved += '/';
        }
        resolved += segment;
    }
    return resolved;
}

}  // namespace tabrook::calcserver::package
