#include "calcserver/xlsb/styles_writer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <pugixml.hpp>

#include "calcserver/xlsb/ooxml_text.h"
#include "calcserver/xlsb/record_ids.h"
#include "calcserver/xlsb/record_writer.h"
#include "calcserver/xlsb/xlsb_error.h"

namespace tabrook::calcserver::xlsb {
namespace {

int IndexOf(std::string_view value, std::initializer_list<std::string_view> names, int fallback) {
    int index = 0;
    for (auto name : names) {
        if (value == name) {
            return index;
        }
        ++index;
    }
    return fallback;
}

std::uint8_t HexByte(std::string_view hex, std::size_t at) {
    if (at + 2 > hex.size()) {
        return 0;
    }
    return static_cast<std::uint8_t>(
        std::strtoul(std::string(hex.substr(at, 2)).c_str(), nullptr, 16));
}

int FillPattern(std::string_view name) {
    return IndexOf(
        name,
        {"none", "solid", "mediumGray", "darkGray", "lightGray", "darkHorizontal", "darkVertical",
         "darkDown", "darkUp", "darkGrid", "darkTrellis", "lightHorizontal", "lightVertical",
         "lightDown", "lightUp", "lightGrid", "lightTrellis", "gray125", "gray0625"},
        0);
}

int BorderStyle(std::string_view name) {
    return IndexOf(
        name,
        {"none", "thin", "medium", "dashed", "dotted", "thick", "double", "hair", "mediumDashed",
         "dashDot", "mediumDashDot", "dashDotDot", "mediumDashDotDot", "slantDashDot"},
        0);
}

std::uint8_t UnderlineCode(std::string_view name) {
    static constexpr std::uint8_t kCodes[] = {1, 2, 0x21, 0x22, 0};
    return kCodes[IndexOf(name,
                          {"single", "double", "singleAccounting", "doubleAccounting", "none"}, 0)];
}

std::string FontBody(const pugi::xml_node& font) {
    const auto val = [&font](const char* child) { return font.child(child).attribute("val"); };
    const auto flag = [&font](const char* child) {
        const pugi::xml_node node = font.child(child);
        return node && ParseBool(node.attribute("val").as_string("1"), true);
    };
    std::uint16_t grbit = 0;
    grbit |= flag("i") ? 0x02 : 0;
    grbit |= flag("strike") ? 0x08 : 0;
    grbit |= flag("outline") ? 0x10 : 0;
    grbit |= flag("shadow") ? 0x20 : 0;
    grbit |= flag("condense") ? 0x40 : 0;
    grbit |= flag("extend") ? 0x80 : 0;
    const std::string_view vert = val("vertAlign").as_string();
    std::uint8_t underline = 0;
    if (const pugi::xml_node u = font.child("u")) {
        underline = UnderlineCode(u.attribute("val").as_string("single"));
    }
    const double size = ParseDouble(val("sz").as_string(nullptr)).value_or(11);
    std::string name = val("name").as_string();
    if (name.empty()) {
        name = val("rFont").as_string("Calibri");
    }
    Body body;
    body.U16(static_cast<std::uint16_t>(std::lround(std::clamp(size, 1.0, 409.0) * 20)))
        .U16(grbit)
        .U16(flag("b") ? 700 : 400)
        .U16(static_cast<std::uint16_t>(IndexOf(vert, {"baseline", "superscript", "subscript"}, 0)))
        .U8(underline)
        .U8(static_cast<std::uint8_t>(val("family").as_uint(0)))
        .U8(static_cast<std::uint8_t>(val("charset").as_uint(1)))
        .U8(0);
    AppendColor(body, font.child("color"));
    body.U8(static_cast<std::uint8_t>(
                IndexOf(val("scheme").as_string(), {"none", "major", "minor"}, 0)))
        .WideString(name);
    return body.Bytes();
}

std::string FillBody(const pugi::xml_node& fill) {
    const pugi::xml_node pattern = fill.child("patternFill");
    const int type = FillPattern(pattern.attribute("patternType").as_string("none"));
    Body body;
    body.U32(static_cast<std::uint32_t>(type));
    AppendColor(body, pattern.child("fgColor"));
    AppendColor(body, pattern.child("bgColor"));
    // No gradient: type, angle, four fill-to positions, no stops.
    body.U32(0).F64(0).F64(0).F64(0).F64(0).F64(0).U32(0);
    return body.Bytes();
}

void AppendBorderLine(Body& body, const pugi::xml_node& line) {
    const int style = BorderStyle(line.attribute("style").as_string("none"));
    body.U8(static_cast<std::uint8_t>(style)).U8(0);
    AppendColor(body, line.child("color"));
}

std::string BorderBody(const pugi::xml_node& border) {
    Body body;
    std::uint8_t flags = 0;
    flags |= ParseBool(border.attribute("diagonalDown").as_string(nullptr), false) ? 0x01 : 0;
    flags |= ParseBool(border.attribute("diagonalUp").as_string(nullptr), false) ? 0x02 : 0;
    body.U8(flags);
    AppendBorderLine(body, border.child("top"));
    AppendBorderLine(body, border.child("bottom"));
    // Office Open XML also knows start/end for left/right.
    AppendBorderLine(body, border.child("left") ? border.child("left") : border.child("start"));
    AppendBorderLine(body, border.child("right") ? border.child("right") : border.child("end"));
    AppendBorderLine(body, border.child("diagonal"));
    return body.Bytes();
}

std::string XfBody(const pugi::xml_node& xf, bool cellXf) {
    const pugi::xml_node align = xf.child("alignment");
    const pugi::xml_node protect = xf.child("protection");
    const int horizontal = IndexOf(align.attribute("horizontal").as_string("general"),
                                   {"general", "left", "center", "right", "fill", "justify",
                                    "centerContinuous", "distributed"},
                                   0);
    const int vertical = IndexOf(align.attribute("vertical").as_string("bottom"),
                                 {"top", "center", "bottom", "justify", "distributed"}, 2);
    std::uint32_t flags = 0;
    flags |= align.attribute("textRotation").as_uint(0) & 0xFF;
    flags |= (align.attribute("indent").as_uint(0) & 0xFF) << 8;
    flags |= static_cast<std::uint32_t>(horizontal) << 16;
    flags |= static_cast<std::uint32_t>(vertical) << 19;
    flags |= ParseBool(align.attribute("wrapText").as_string(nullptr), false) ? 1u << 22 : 0;
    flags |= ParseBool(align.attribute("justifyLastLine").as_string(nullptr), false) ? 1u << 23 : 0;
    flags |= ParseBool(align.attribute("shrinkToFit").as_string(nullptr), false) ? 1u << 24 : 0;
    flags |= (align.attribute("readingOrder").as_uint(0) & 0x3) << 26;
    flags |= ParseBool(protect.attribute("locked").as_string(nullptr), true) ? 1u << 28 : 0;
    flags |= ParseBool(protect.attribute("hidden").as_string(nullptr), false) ? 1u << 29 : 0;

    // Which attribute groups this format sets itself: for cell formats a set bit means
    // "applied", for style formats a clear bit does.
    static constexpr const char* kApply[] = {"applyNumberFormat", "applyFont", "applyAlignment",
                                             "applyBorder",       "applyFill", "applyProtection"};
    std::uint8_t used = 0;
    for (int i = 0; i < 6; ++i) {
        const bool applied = ParseBool(xf.attribute(kApply[i]).as_string(nullptr), true);
        if (applied == cellXf) {
            used |= static_cast<std::uint8_t>(1u << i);
        }
    }
    Body body;
    body.U16(cellXf ? static_cast<std::uint16_t>(xf.attribute("xfId").as_uint(0)) : 0xFFFF)
        .U16(static_cast<std::uint16_t>(xf.attribute("numFmtId").as_uint(0)))
        .U16(static_cast<std::uint16_t>(xf.attribute("fontId").as_uint(0)))
        .U16(static_cast<std::uint16_t>(xf.attribute("fillId").as_uint(0)))
        .U16(static_cast<std::uint16_t>(xf.attribute("borderId").as_uint(0)))
        .U32(flags)
        .U16(used);
    return body.Bytes();
}

std::string StyleBody(const pugi::xml_node& style) {
    const pugi::xml_attribute builtin = style.attribute("builtinId");
    std::uint16_t flags = 0;
    flags |= builtin ? 0x1 : 0;
    flags |= ParseBool(style.attribute("hidden").as_string(nullptr), false) ? 0x2 : 0;
    flags |= ParseBool(style.attribute("customBuiltin").as_string(nullptr), false) ? 0x4 : 0;
    Body body;
    body.U32(style.attribute("xfId").as_uint(0))
        .U16(flags)
        .U8(builtin ? static_cast<std::uint8_t>(builtin.as_uint(0)) : 0xFF)
        .U8(static_cast<std::uint8_t>(style.attribute("iLevel").as_uint(0)))
        .WideString(style.attribute("name").as_string("Normal"));
    return body.Bytes();
}

// A differential format names only what it changes, each as one typed property.
class DxfProperties {
  public:
    void Add(std::uint16_t type, const Body& data) {
        props_.U16(type).U16(static_cast<std::uint16_t>(4 + data.Size())).Raw(data.Bytes());
        ++count_;
    }
    // LibreOffice writes "no colour" as a transparent white; taken as white, a rule's text
    // would vanish. It stays the automatic colour for text and no colour at all for a fill.
    void Color(std::uint16_t type, const pugi::xml_node& color, bool fill) {
        if (!color) {
            return;
        }
        const std::string_view rgb = color.attribute("rgb").as_string();
        const bool none = rgb.size() == 8 && rgb.substr(0, 2) == "00" &&
                          (rgb.substr(2) == "FFFFFF" || rgb.substr(2) == "ffffff");
        if (none && fill) {
            return;
        }
        Body data;
        AppendColor(data, none ? pugi::xml_node() : color);
        Add(type, data);
    }
    // A string with a 16-bit count, cut to what the property may hold.
    void Text(std::uint16_t type, std::string_view utf8) {
        std::u16string text = Utf16FromUtf8(utf8);
        text.resize(std::min<std::size_t>(text.size(), 255));
        Add(type, Body().U16(static_cast<std::uint16_t>(text.size())).Utf16(text));
    }
    std::string Bytes() const {
        Body body;
        // No new-style border flags; then the property list's reserved word and count.
        body.U16(0).U16(0).U16(count_).Raw(props_.Bytes());
        return body.Bytes();
    }

  private:
    Body props_;
    std::uint16_t count_ = 0;
};

std::string DxfBody(const pugi::xml_node& dxf) {
    enum : std::uint16_t {
        kFillPattern = 0x00,
        kFillForeground = 0x01,
        kFillBackground = 0x02,
        kFontColor = 0x05,
        kBorderTop = 0x06,
        kBorderBottom = 0x07,
        kBorderLeft = 0x08,
        kBorderRight = 0x09,
        kBorderDiagonal = 0x0A,
        kFontName = 0x18,
        kFontWeight = 0x19,
        kFontUnderline = 0x1A,
        kFontEscapement = 0x1B,
        kFontItalic = 0x1C,
        kFontStrike = 0x1D,
        kFontOutline = 0x1E,
        kFontShadow = 0x1F,
        kFontHeight = 0x24,
        kFontScheme = 0x25,
        kNumberFormatCode = 0x26,
        kNumberFormatId = 0x29,
    };
    DxfProperties props;
    const pugi::xml_node pattern = dxf.child("fill").child("patternFill");
    if (const pugi::xml_attribute type = pattern.attribute("patternType")) {
        props.Add(kFillPattern,
                  Body().U8(static_cast<std::uint8_t>(FillPattern(type.as_string()))));
    }
    props.Color(kFillForeground, pattern.child("fgColor"), true);
    props.Color(kFillBackground, pattern.child("bgColor"), true);

    const pugi::xml_node font = dxf.child("font");
    props.Color(kFontColor, font.child("color"), false);
    const auto flag = [&font](const char* child) {
        return ParseBool(font.child(child).attribute("val").as_string("1"), true);
    };
    if (const pugi::xml_node name = font.child("name")) {
        props.Text(kFontName, name.attribute("val").as_string());
    }
    if (font.child("b")) {
        props.Add(kFontWeight, Body().U16(flag("b") ? 700 : 400));
    }
    if (const pugi::xml_node u = font.child("u")) {
        props.Add(kFontUnderline,
                  Body().U16(UnderlineCode(u.attribute("val").as_string("single"))));
    }
    if (const pugi::xml_node vert = font.child("vertAlign")) {
        props.Add(
            kFontEscapement,
            Body().U16(static_cast<std::uint16_t>(IndexOf(
                vert.attribute("val").as_string(), {"baseline", "superscript", "subscript"}, 0))));
    }
    static constexpr std::pair<const char*, std::uint16_t> kFlags[] = {{"i", kFontItalic},
                                                                       {"strike", kFontStrike},
                                                                       {"outline", kFontOutline},
                                                                       {"shadow", kFontShadow}};
    for (const auto& [child, type] : kFlags) {
        if (font.child(child)) {
            props.Add(type, Body().U8(flag(child) ? 1 : 0));
        }
    }
    if (const auto size = ParseDouble(font.child("sz").attribute("val").as_string(nullptr))) {
        props.Add(kFontHeight, Body().U32(static_cast<std::uint32_t>(
                                   std::lround(std::clamp(*size, 1.0, 409.0) * 20))));
    }
    if (const pugi::xml_node scheme = font.child("scheme")) {
        props.Add(kFontScheme,
                  Body().U8(static_cast<std::uint8_t>(IndexOf(scheme.attribute("val").as_string(),
                                                              {"none", "major", "minor"}, 0))));
    }

    if (const pugi::xml_node format = dxf.child("numFmt")) {
        props.Add(kNumberFormatId,
                  Body().U16(static_cast<std::uint16_t>(format.attribute("numFmtId").as_uint(0))));
        props.Text(kNumberFormatCode, format.attribute("formatCode").as_string());
    }

    const pugi::xml_node border = dxf.child("border");
    static constexpr std::pair<const char*, std::uint16_t> kSides[] = {
        {"top", kBorderTop},
        {"bottom", kBorderBottom},
        {"left", kBorderLeft},
        {"right", kBorderRight},
        {"diagonal", kBorderDiagonal}};
    for (const auto& [side, type] : kSides) {
        const pugi::xml_node line = border.child(side);
        if (line && line.attribute("style")) {
            Body data;
            AppendColor(data, line.child("color"));
            data.U16(static_cast<std::uint16_t>(BorderStyle(line.attribute("style").as_string())));
            props.Add(type, data);
        }
    }
    return props.Bytes();
}

std::vector<std::string> Collect(const pugi::xml_node& list, const char* item,
                                 std::string (*make)(const pugi::xml_node&)) {
    std::vector<std::string> out;
    for (const pugi::xml_node node : list.children(item)) {
        out.push_back(make(node));
    }
    return out;
}

void WriteList(RecordSink& sink, std::uint16_t begin, std::uint16_t item, std::uint16_t end,
               const std::vector<std::string>& bodies) {
    sink.Write(begin, Body().U32(static_cast<std::uint32_t>(bodies.size())));
    for (const auto& body : bodies) {
        sink.Write(item, Body().Raw(body));
    }
    sink.Write(end);
}

}  // namespace

void AppendColor(Body& body, const pugi::xml_node& color) {
    const double tint =
        std::clamp(ParseDouble(color.attribute("tint").as_string(nullptr)).value_or(0), -1.0, 1.0);
    const auto tint16 = static_cast<std::int16_t>(std::lround(tint * 32767));
    std::uint8_t type = 0;  // automatic
    std::uint8_t index = 0;
    std::uint8_t rgba[4] = {0, 0, 0, 0xFF};
    if (const pugi::xml_attribute rgb = color.attribute("rgb")) {
        const std::string_view hex = rgb.as_string();
        const std::size_t at = hex.size() >= 8 ? 2 : 0;  // ARGB or RGB
        type = 2;
        rgba[0] = HexByte(hex, at);
        rgba[1] = HexByte(hex, at + 2);
        rgba[2] = HexByte(hex, at + 4);
        rgba[3] = hex.size() >= 8 ? HexByte(hex, 0) : 0xFF;
    } else if (const pugi::xml_attribute theme = color.attribute("theme")) {
        type = 3;
        index = static_cast<std::uint8_t>(theme.as_uint(0));
    } else if (const pugi::xml_attribute indexed = color.attribute("indexed")) {
        type = 1;
        index = static_cast<std::uint8_t>(indexed.as_uint(0));
    }
    const bool validRgb = type == 2;
    body.U8(static_cast<std::uint8_t>((type << 1) | (validRgb ? 1 : 0)))
        .U8(index)
        .U16(static_cast<std::uint16_t>(tint16))
        .U8(rgba[0])
        .U8(rgba[1])
        .U8(rgba[2])
        .U8(rgba[3]);
}

StylesWriter::StylesWriter(std::string_view stylesXml) {
    pugi::xml_document doc;
    if (!stylesXml.empty()) {
        const auto parsed = doc.load_buffer(stylesXml.data(), stylesXml.size());
        if (!parsed) {
            throw XlsbError(std::string("the workbook's styles cannot be read: ") +
                            parsed.description());
        }
    }
    const pugi::xml_node root = doc.child("styleSheet");
    for (const pugi::xml_node fmt : root.child("numFmts").children("numFmt")) {
        formats_.push_back(Body()
                               .U16(static_cast<std::uint16_t>(fmt.attribute("numFmtId").as_uint()))
                               .WideString(fmt.attribute("formatCode").as_string())
                               .Bytes());
    }
    for (const pugi::xml_node font : root.child("fonts").children("font")) {
        // Keep every font at its own index: cell formats refer to them by position.
        fonts_.push_back(FontBody(font));
        fontIndex_.emplace(fonts_.back(), static_cast<std::uint16_t>(fonts_.size() - 1));
    }
    fills_ = Collect(root.child("fills"), "fill", FillBody);
    borders_ = Collect(root.child("borders"), "border", BorderBody);
    for (const pugi::xml_node xf : root.child("cellStyleXfs").children("xf")) {
        styleXfs_.push_back(XfBody(xf, false));
    }
    for (const pugi::xml_node xf : root.child("cellXfs").children("xf")) {
        cellXfs_.push_back(XfBody(xf, true));
    }
    cellStyles_ = Collect(root.child("cellStyles"), "cellStyle", StyleBody);
    dxfs_ = Collect(root.child("dxfs"), "dxf", DxfBody);

    // Readers expect at least one of each, and the two fills every workbook starts with.
    const pugi::xml_node none;
    if (fonts_.empty()) {
        AddFont(FontBody(none));
    }
    if (fills_.empty()) {
        pugi::xml_document fills;
        fills.load_string(
            "<f><fill><patternFill patternType='none'/></fill>"
            "<fill><patternFill patternType='gray125'/></fill></f>");
        fills_ = Collect(fills.child("f"), "fill", FillBody);
    }
    if (borders_.empty()) {
        borders_.push_back(BorderBody(none));
    }
    if (styleXfs_.empty()) {
        styleXfs_.push_back(XfBody(none, false));
    }
    if (cellXfs_.empty()) {
        cellXfs_.push_back(XfBody(none, true));
    }
    if (cellStyles_.empty()) {
        pugi::xml_document normal;
        normal.load_string("<cellStyle name='Normal' xfId='0' builtinId='0'/>");
        cellStyles_.push_back(StyleBody(normal.child("cellStyle")));
    }
}

std::uint16_t StylesWriter::AddFont(const std::string& body) {
    const auto found = fontIndex_.find(body);
    if (found != fontIndex_.end()) {
        return found->second;
    }
    if (fonts_.size() >= 0xFFFF) {
        throw XlsbError("the workbook uses more fonts than the binary format can hold");
    }
    fonts_.push_back(body);
    const auto index = static_cast<std::uint16_t>(fonts_.size() - 1);
    fontIndex_.emplace(body, index);
    return index;
}

std::uint16_t StylesWriter::RunFont(const pugi::xml_node& runProperties) {
    return AddFont(FontBody(runProperties));
}

std::string StylesWriter::Records() const {
    RecordSink sink;
    sink.Write(rec::kBeginStyleSheet);
    WriteList(sink, rec::kBeginFmts, rec::kFmt, rec::kEndFmts, formats_);
    WriteList(sink, rec::kBeginFonts, rec::kFont, rec::kEndFonts, fonts_);
    WriteList(sink, rec::kBeginFills, rec::kFill, rec::kEndFills, fills_);
    WriteList(sink, rec::kBeginBorders, rec::kBorder, rec::kEndBorders, borders_);
    WriteList(sink, rec::kBeginCellStyleXfs, rec::kXf, rec::kEndCellStyleXfs, styleXfs_);
    WriteList(sink, rec::kBeginCellXfs, rec::kXf, rec::kEndCellXfs, cellXfs_);
    WriteList(sink, rec::kBeginStyles, rec::kStyle, rec::kEndStyles, cellStyles_);
    if (!dxfs_.empty()) {
        WriteList(sink, rec::kBeginDxfs, rec::kDxf, rec::kEndDxfs, dxfs_);
    }
    sink.Write(rec::kEndStyleSheet);
    return sink.TakeBytes();
}

}  // namespace tabrook::calcserver::xlsb
