#pragma once
// A sheet's comments part (commentsN.xml) to its binary form: authors, then each
// comment's cell and rich text. Run fonts join the workbook's font table.

#include <string>
#include <string_view>

namespace tabrook::calcserver::xlsb {

class StylesWriter;

// Throws XlsbError on malformed XML.
std::string ConvertComments(std::string_view xml, StylesWriter& styles);

}  // namespace tabrook::calcserver::xlsb
