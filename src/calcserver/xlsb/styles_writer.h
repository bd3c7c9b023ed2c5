#pragma once
// styles.xml to the records of styles.bin: number formats, fonts, fills, borders, cell
// and style formats, cell styles, and the differential formats of conditional formats.

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace pugi {
class xml_node;
}

namespace tabrook::calcserver::xlsb {

class Body;

// A colour element (fgColor, color, tabColor, ...) as the 8-byte colour structure;
// an absent element is the automatic colour.
void AppendColor(Body& body, const pugi::xml_node& color);

class StylesWriter {
  public:
    // Throws XlsbError when the XML is not well-formed. An empty text gives the defaults.
    explicit StylesWriter(std::string_view stylesXml);

    // The font table index of a rich-text run's properties (<rPr>), added when new.
    std::uint16_t RunFont(const pugi::xml_node& runProperties);

    std::string Records() const;

  private:
    std::uint16_t AddFont(const std::string& body);

    std::vector<std::string> formats_;  // whole BrtFmt bodies
    std::vector<std::string> fonts_;
    std::map<std::string, std::uint16_t> fontIndex_;
    std::vector<std::string> fills_;
    std::vector<std::string> borders_;
    std::vector<std::string> styleXfs_;
    std::vector<std::string> cellXfs_;
    std::vector<std::string> cellStyles_;
    std::vector<std::string> dxfs_;
};

}  // namespace tabrook::calcserver::xlsb
