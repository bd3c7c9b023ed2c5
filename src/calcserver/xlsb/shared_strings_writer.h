#pragma once
// sharedStrings.xml to sharedStrings.bin, with rich-text runs; run fonts join the font
// table of the styles.

#include <cstddef>
#include <string>

namespace tabrook::calcserver::package {
class ZipReader;
}

namespace tabrook::calcserver::xlsb {

class StylesWriter;

struct SharedStrings {
    std::string records;
    std::size_t count = 0;
};

SharedStrings ConvertSharedStrings(const package::ZipReader& zip, const std::string& part,
                                   StylesWriter& styles);

}  // namespace tabrook::calcserver::xlsb
