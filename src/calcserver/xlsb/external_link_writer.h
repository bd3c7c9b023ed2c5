#pragma once
// An external workbook link part (externalLinkN.xml) to its binary form: the linked
// workbook's sheet names and the cached cells that formulas refer to.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tabrook::calcserver::xlsb {

struct ExternalLinkPart {
    std::vector<std::string> sheetNames;
    std::string records;
};

// Nothing when the part links something other than a workbook (DDE, OLE), which the
// binary writer does not carry. Throws XlsbError on malformed XML.
std::optional<ExternalLinkPart> ConvertExternalLink(std::string_view xml);

}  // namespace tabrook::calcserver::xlsb
