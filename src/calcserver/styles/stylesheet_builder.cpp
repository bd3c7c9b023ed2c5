#include "calcserver/styles/stylesheet_builder.h"

#include <algorithm>
#include <array>
#include <map>
#include <pugixml.hpp>
#include <set>
#include <sstream>

#include "calcserver/package/xml_names.h"
#include "calcserver/package/zip_package.h"
#include "calcserver/styles/palette.h"

namespace tabrook::calcserver::styles {

namespace {

using package::ChildNamed;

constexpr const char* kMainNamespace = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";

// Number formats every reader knows by id; what some show depends on the reader's locale,
// so they keep their id and get no code of their own.
bool IsUniversalBuiltIn(std::uint16_t id) {
    return id <= 22 || (id >= 37 && id <= 40) || (id >= 45 && id <= 49);
}

constexpr std::array<const char*, 19> kPatterns{
    "none",           "solid",           "mediumGray",    "darkGray",  "lightGray",
    "darkHorizontal", "darkVertical",    "darkDown",      "darkUp",    "darkGrid",
    "darkTrellis",    "lightHorizontal", "lightVertical", "lightDown", "lightUp",
    "lightGrid",      "lightTrellis",    "gray125",       "gray0625"};
constexpr std::array<const char*, 14> kLineStyles{"none",
                                                  "thin",
                                                  "medium",
                                                  "dashed",
                                                  "dotted",
                                                  "thick",
                                                  "double",
                                                  "hair",
                                                  "mediumDashed",
                                                  "dashDot",
                                                  "mediumDashDot",
                                                  "dashDotDot",
                                                  "mediumDashDotDot",
                                                  "slantDashDot"};
constexpr std::array<const char*, 8> kHorizontal{
    "general", "left", "center", "right", "fill", "justify", "centerContinuous", "distributed"};
constexpr std::array<const char*, 5> kVertical{"top", "center", "bottom", "justify", "distributed"};
constexpr double kMinFontSize = 1;
constexpr double kMaxFontSize = 409;
constexpr std::uint8_t kMaxFontFamily = 14;

constexpr std::array<const char*, 4> kSides{"left", "right", "top", "bottom"};

// Names of the built-in cell styles by their id; the outline levels (1, 2) take their level.
const char* BuiltInStyleName(std::uint8_t id) {
    static const std::map<std::uint8_t, const char*> kNames{{0, "Normal"},
                                                            {3, "Comma"},
                                                            {4, "Currency"},
                                                            {5, "Percent"},
                                                            {6, "Comma [0]"},
                                                            {7, "Currency [0]"},
                                                            {8, "Hyperlink"},
                                                            {9, "Followed Hyperlink"},
                                                            {10, "Note"},
                                                            {11, "Warning Text"},
                                                            {15, "Title"},
                                                            {16, "Heading 1"},
                                                            {17, "Heading 2"},
                                                            {18, "Heading 3"},
                                                            {19, "Heading 4"},
                                                            {20, "Input"},
                                                            {21, "Output"},
                                                            {22, "Calculation"},
                                                            {23, "Check Cell"},
                                                            {24, "Linked Cell"},
                                                            {25, "Total"},
                                                            {26, "Good"},
                                                            {27, "Bad"},
                                                            {28, "Neutral"},
                                                            {29, "Accent1"},
                                                            {30, "20% - Accent1"},
                                                            {31, "40% - Accent1"},
                                                            {32, "60% - Accent1"},
                                                            {33, "Accent2"},
                                                            {34, "20% - Accent2"},
                                                            {35, "40% - Accent2"},
                                                            {36, "60% - Accent2"},
                                                            {37, "Accent3"},
                                                            {38, "20% - Accent3"},
                                                            {39, "40% - Accent3"},
                                                            {40, "60% - Accent3"},
                                                            {41, "Accent4"},
                                                            {42, "20% - Accent4"},
                                                            {43, "40% - Accent4"},
                                                            {44, "60% - Accent4"},
                                                            {45, "Accent5"},
                                                            {46, "20% - Accent5"},
                                                            {47, "40% - Accent5"},
                                                            {48, "60% - Accent5"},
                                                            {49, "Accent6"},
                                                            {50, "20% - Accent6"},
                                                            {51, "40% - Accent6"},
                                                            {52, "60% - Accent6"},
                                                            {53, "Explanatory Text"}};
    const auto found = kNames.find(id);
    return found == kNames.end() ? nullptr : found->second;
}

std::string Serialized(const pugi::xml_node node) {
    std::ostringstream out;
    node.print(out, "", pugi::format_raw);
    return out.str();
}

class Builder {
  public:
    explicit Builder(const biff::WorkbookFormats& formats) : formats_(formats) {}

    Stylesheet Build(const pugi::xml_document& office) {
        pugi::xml_node root = document_.append_child("styleSheet");
        root.append_attribute("xmlns").set_value(kMainNamespace);
        pugi::xml_node numFmts = root.append_child("numFmts");
        for (const auto& [id, code] : formats_.numberFormats) {
            if (!IsUniversalBuiltIn(id)) {
                pugi::xml_node format = numFmts.append_child("numFmt");
                format.append_attribute("numFmtId").set_value(id);
                format.append_attribute("formatCode").set_value(code.c_str());
            }
        }
        pugi::xml_node fonts = root.append_child("fonts");
        for (const biff::FontRecord& font : formats_.fonts) {
            AddFont(fonts, font);
        }
        if (formats_.fonts.empty()) {
            AddFont(fonts, biff::FontRecord{.name = "Arial"});
        }
        fills_ = root.append_child("fills");
        AddFillElement("none", {}, {});
        AddFillElement("gray125", {}, {});
        borders_ = root.append_child("borders");
        borders_.append_child("border");
        borderIds_[Serialized(borders_.first_child())] = 0;

        Stylesheet sheet;
        sheet.cellFormatOf.assign(formats_.xfs.size(), -1);
        std::vector<std::int32_t> styleFormatOf(formats_.xfs.size(), -1);
        pugi::xml_node styleXfs = root.append_child("cellStyleXfs");
        pugi::xml_node cellXfs = root.append_child("cellXfs");
        std::int32_t styleCount = 0;
        std::int32_t cellCount = 0;
        for (std::size_t i = 0; i < formats_.xfs.size(); ++i) {
            if (formats_.xfs[i].isStyle) {
                AddXf(styleXfs, formats_.xfs[i], std::nullopt);
                styleFormatOf[i] = styleCount++;
            }
        }
        if (styleCount == 0) {
            AddXf(styleXfs, biff::XfRecord{}, std::nullopt);
        }
        for (std::size_t i = 0; i < formats_.xfs.size(); ++i) {
            const biff::XfRecord& xf = formats_.xfs[i];
            if (!xf.isStyle) {
                const std::int32_t parent =
                    xf.parent < styleFormatOf.size() ? styleFormatOf[xf.parent] : -1;
                AddXf(cellXfs, xf, parent < 0 ? 0 : parent);
                sheet.cellFormatOf[i] = cellCount++;
            }
        }
        if (cellCount == 0) {
            throw package::PackageError("the source describes no cell format");
        }
        AddCellStyles(root.append_child("cellStyles"), styleFormatOf);
        for (const char* kept : {"dxfs", "tableStyles", "colors"}) {
            if (const pugi::xml_node node = ChildNamed(office.document_element(), kept)) {
                root.append_copy(node);
            }
        }
        for (const char* built :
             {"numFmts", "fonts", "fills", "borders", "cellStyleXfs", "cellXfs", "cellStyles"}) {
            pugi::xml_node list = root.child(built);
            list.prepend_attribute("count").set_value(
                std::distance(list.children().begin(), list.children().end()));
        }
        if (!numFmts.first_child()) {
            root.remove_child(numFmts);
        }
        std::ostringstream out;
        document_.save(out, "", pugi::format_raw, pugi::encoding_utf8);
        sheet.xml = out.str();
        return sheet;
    }

  private:
    // The file's own colours by RGB, the system's by their index, automatic by the flag.
    void SetColor(pugi::xml_node node, std::uint16_t index) {
        if (const auto argb = PaletteArgb(index, formats_.palette)) {
            node.append_attribute("rgb").set_value(argb->c_str());
        } else if (index == 64 || index == 65) {
            node.append_attribute("indexed").set_value(index);
        } else {
            node.append_attribute("auto").set_value(1);
        }
    }

    void AddFont(pugi::xml_node fonts, const biff::FontRecord& record) {
        pugi::xml_node font = fonts.append_child("font");
        if (record.weight >= 700) {
            font.append_child("b");
        }
        if (record.italic) {
            font.append_child("i");
        }
        if (record.strike) {
            font.append_child("strike");
        }
        if (record.outline) {
            font.append_child("outline");
        }
        if (record.shadow) {
            font.append_child("shadow");
        }
        if (record.underline != 0) {
            const char* kind = record.underline == 2      ? "double"
                               : record.underline == 0x21 ? "singleAccounting"
                               : record.underline == 0x22 ? "doubleAccounting"
                                                          : "single";
            font.append_child("u").append_attribute("val").set_value(kind);
        }
        if (record.escapement == 1 || record.escapement == 2) {
            font.append_child("vertAlign")
                .append_attribute("val")
                .set_value(record.escapement == 1 ? "superscript" : "subscript");
        }
        // Other writers leave sizes of 0 and families past the 15 the formats know.
        font.append_child("sz").append_attribute("val").set_value(
            std::clamp(record.heightTwips / 20.0, kMinFontSize, kMaxFontSize));
        if (record.colorIndex != 0x7FFF) {
            SetColor(font.append_child("color"), record.colorIndex);
        }
        font.append_child("name").append_attribute("val").set_value(record.name.c_str());
        if (record.family != 0 && record.family <= kMaxFontFamily) {
            font.append_child("family").append_attribute("val").set_value(record.family);
        }
        if (record.charset != 0) {
            font.append_child("charset").append_attribute("val").set_value(record.charset);
        }
    }

    std::uint32_t AddFillElement(const char* pattern, std::optional<std::uint16_t> fore,
                                 std::optional<std::uint16_t> back) {
        pugi::xml_document scratch;
        pugi::xml_node patternFill = scratch.append_child("fill").append_child("patternFill");
        patternFill.append_attribute("patternType").set_value(pattern);
        if (fore) {
            SetColor(patternFill.append_child("fgColor"), *fore);
        }
        if (back) {
            SetColor(patternFill.append_child("bgColor"), *back);
        }
        return Intern(fills_, fillIds_, scratch.first_child());
    }

    std::uint32_t Fill(const biff::XfRecord& xf) {
        if (xf.pattern == 0 || xf.pattern >= kPatterns.size()) {
            return 0;
        }
        return AddFillElement(kPatterns[xf.pattern], xf.patternColor, xf.backgroundColor);
    }

    std::uint32_t Border(const biff::XfRecord& xf) {
        pugi::xml_document scratch;
        pugi::xml_node border = scratch.append_child("border");
        const bool diagonal = (xf.diagonalDown || xf.diagonalUp) && xf.lineStyle[4] != 0;
        if (diagonal && xf.diagonalUp) {
            border.append_attribute("diagonalUp").set_value(1);
        }
        if (diagonal && xf.diagonalDown) {
            border.append_attribute("diagonalDown").set_value(1);
        }
        for (std::size_t side = 0; side < 5; ++side) {
            pugi::xml_node edge = border.append_child(side < 4 ? kSides[side] : "diagonal");
            const std::uint8_t style = xf.lineStyle[side];
            if (style != 0 && style < kLineStyles.size() && (side < 4 || diagonal)) {
                edge.append_attribute("style").set_value(kLineStyles[style]);
                SetColor(edge.append_child("color"), xf.lineColor[side]);
            }
        }
        return Intern(borders_, borderIds_, border);
    }

    static std::uint32_t Intern(pugi::xml_node list, std::map<std::string, std::uint32_t>& ids,
                                const pugi::xml_node element) {
        const std::string key = Serialized(element);
        const auto [found, added] = ids.emplace(key, static_cast<std::uint32_t>(ids.size()));
        if (added) {
            list.append_copy(element);
        }
        return found->second;
    }

    // XFs count the file's fonts skipping index 4, which no FONT record stands for.
    std::uint32_t FontId(std::uint16_t index) const {
        const std::size_t id = index < 4 ? index : index - 1u;
        return index == 4 || id >= formats_.fonts.size() ? 0 : static_cast<std::uint32_t>(id);
    }

    void AddXf(pugi::xml_node list, const biff::XfRecord& record,
               std::optional<std::int32_t> parent) {
        pugi::xml_node xf = list.append_child("xf");
        xf.append_attribute("numFmtId").set_value(record.formatId);
        xf.append_attribute("fontId").set_value(FontId(record.fontIndex));
        xf.append_attribute("fillId").set_value(Fill(record));
        xf.append_attribute("borderId").set_value(Border(record));
        if (parent) {
            // The cell keeps exactly what the source shows, whatever its style holds.
            xf.append_attribute("xfId").set_value(*parent);
            for (const char* group : {"applyNumberFormat", "applyFont", "applyFill", "applyBorder",
                                      "applyAlignment", "applyProtection"}) {
                xf.append_attribute(group).set_value(1);
            }
        }
        pugi::xml_node alignment = xf.append_child("alignment");
        if (record.horizontal != 0 && record.horizontal < kHorizontal.size()) {
            alignment.append_attribute("horizontal").set_value(kHorizontal[record.horizontal]);
        }
        if (record.vertical != 2 && record.vertical < kVertical.size()) {
            alignment.append_attribute("vertical").set_value(kVertical[record.vertical]);
        }
        if (record.rotation != 0 && (record.rotation <= 180 || record.rotation == 255)) {
            alignment.append_attribute("textRotation").set_value(record.rotation);
        }
        if (record.wrap) {
            alignment.append_attribute("wrapText").set_value(1);
        }
        if (record.indent != 0) {
            alignment.append_attribute("indent").set_value(record.indent);
        }
        if (record.justifyLast) {
            alignment.append_attribute("justifyLastLine").set_value(1);
        }
        if (record.shrink) {
            alignment.append_attribute("shrinkToFit").set_value(1);
        }
        if (record.readingOrder == 1 || record.readingOrder == 2) {
            alignment.append_attribute("readingOrder").set_value(record.readingOrder);
        }
        if (!alignment.first_attribute()) {
            xf.remove_child(alignment);
        }
        if (!record.locked || record.hidden) {
            pugi::xml_node protection = xf.append_child("protection");
            protection.append_attribute("locked").set_value(record.locked ? 1 : 0);
            protection.append_attribute("hidden").set_value(record.hidden ? 1 : 0);
        }
    }

    void AddCellStyles(pugi::xml_node list, const std::vector<std::int32_t>& styleFormatOf) {
        std::set<std::string> names;
        for (const biff::StyleRecord& style : formats_.styles) {
            if (style.xfIndex >= styleFormatOf.size() || styleFormatOf[style.xfIndex] < 0) {
                continue;
            }
            std::string name = style.name;
            if (style.builtIn) {
                if (style.builtInId == 1 || style.builtInId == 2) {
                    name = (style.builtInId == 1 ? "RowLevel_" : "ColLevel_") +
                           std::to_string(style.level + 1);
                } else if (const char* known = BuiltInStyleName(style.builtInId)) {
                    name = known;
                } else {
                    continue;
                }
            }
            if (name.empty() || !names.insert(name).second) {
                continue;
            }
            pugi::xml_node entry = list.append_child("cellStyle");
            entry.append_attribute("name").set_value(name.c_str());
            entry.append_attribute("xfId").set_value(styleFormatOf[style.xfIndex]);
            if (style.builtIn) {
                entry.append_attribute("builtinId").set_value(style.builtInId);
                if (style.builtInId == 1 || style.builtInId == 2) {
                    entry.append_attribute("iLevel").set_value(style.level);
                }
            }
        }
        if (!names.contains("Normal")) {
            pugi::xml_node normal = list.prepend_child("cellStyle");
            normal.append_attribute("name").set_value("Normal");
            normal.append_attribute("xfId").set_value(0);
            normal.append_attribute("builtinId").set_value(0);
        }
    }

    const biff::WorkbookFormats& formats_;
    pugi::xml_document document_;
    pugi::xml_node fills_;
    pugi::xml_node borders_;
    std::map<std::string, std::uint32_t> fillIds_;
    std::map<std::string, std::uint32_t> borderIds_;
};

}  // namespace

Stylesheet BuildStylesheet(const biff::WorkbookFormats& formats, std::string_view officeStyles) {
    pugi::xml_document office;
    if (!office.load_buffer(officeStyles.data(), officeStyles.size())) {
        throw package::PackageError("the styles part is not well-formed XML");
    }
    return Builder(formats).Build(office);
}

}  // namespace tabrook::calcserver::styles
