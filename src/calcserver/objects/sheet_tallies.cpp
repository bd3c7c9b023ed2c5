#include "calcserver/objects/sheet_tallies.h"

#include <array>
#include <cctype>
#include <string_view>

#include "calcserver/package/xml_names.h"

namespace tabrook::calcserver::objects {
namespace {

using package::LocalName;

// Groups nest a few levels in real drawings; deeper ones are not counted further.
constexpr int kMaxGroupDepth = 32;

// The names the office gives the shapes it draws for form controls: "Check Box 3".
bool IsFormControlName(std::string_view name) {
    static constexpr std::array<std::string_view, 10> kKinds = {
        "Check Box", "Option Button", "Button",    "List Box", "Drop Down",
        "Spinner",   "Scroll Bar",    "Group Box", "Label",    "Edit Box"};
    for (const std::string_view kind : kKinds) {
        if (name.size() > kind.size() + 1 && name.substr(0, kind.size()) == kind &&
            name[kind.size()] == ' ' &&
            std::isdigit(static_cast<unsigned char>(name[kind.size() + 1])) != 0) {
            return true;
        }
    }
    return false;
}

bool IsFormControlShape(pugi::xml_node shape) {
    for (const pugi::xml_node properties : shape.children()) {
        if (const pugi::xml_node names = package::ChildNamed(properties, "cNvPr")) {
            return IsFormControlName(package::AttributeNamed(names, "name").value());
        }
    }
    return false;
}

void TallyObject(pugi::xml_node object, SheetTally& tally, int depth) {
    const std::string_view kind = LocalName(object);
    if (kind == "grpSp" && depth < kMaxGroupDepth) {
        for (const pugi::xml_node member : object.children()) {
            TallyObject(member, tally, depth + 1);
        }
    } else if ((kind == "sp" || kind == "cxnSp") && !IsFormControlShape(object)) {
        ++tally.shapes;
    }
}

std::string Counted(std::size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace

bool IsDrawnShapeType(unsigned objectType) {
    switch (objectType) {
        case 0x01:  // line
        case 0x02:  // rectangle
        case 0x03:  // oval
        case 0x04:  // arc
        case 0x06:  // text box
        case 0x09:  // polygon
        case 0x1E:  // other drawing
            return true;
        default:
            return false;
    }
}

void TallyWorksheet(pugi::xml_node worksheet, SheetTally& tally) {
    // The tree is as deep as the parser let it be; walking it is not recursive. The cells,
    // most of a sheet, hold neither rules nor links and are passed over.
    pugi::xml_node node = worksheet.first_child();
    while (node) {
        const std::string_view kind = LocalName(node);
        if (kind == "cfRule") {
            ++tally.conditionalFormats;
        } else if (kind == "hyperlink") {
            ++tally.hyperlinks;
        }
        if (node.first_child() && kind != "sheetData") {
            node = node.first_child();
            continue;
        }
        while (node != worksheet && !node.next_sibling()) {
            node = node.parent();
        }
        if (node == worksheet) {
            break;
        }
        node = node.next_sibling();
    }
}

void TallyComments(pugi::xml_node comments, SheetTally& tally) {
    const pugi::xml_node list = package::ChildNamed(comments, "commentList");
    for (const pugi::xml_node comment : list.children()) {
        if (LocalName(comment) == "comment") {
            ++tally.comments;
        }
    }
}

void TallyDrawing(pugi::xml_node drawing, SheetTally& tally) {
    for (const pugi::xml_node child : drawing.children()) {
        pugi::xml_node anchor = child;
        if (LocalName(child) == "AlternateContent") {
            anchor = package::ChildNamed(child, "Choice").first_child();
        }
        const std::string_view kind = LocalName(anchor);
        if (kind != "twoCellAnchor" && kind != "oneCellAnchor" && kind != "absoluteAnchor") {
            continue;
        }
        for (const pugi::xml_node object : anchor.children()) {
            TallyObject(object, tally, 0);
        }
    }
}

std::vector<std::string> LossNotes(const std::string& sheetName, const SheetTally& source,
                                   const SheetTally& result) {
    std::vector<std::string> notes;
    const std::string where = " on sheet '" + sheetName + "' ";
    const auto lost = [&](std::size_t had, std::size_t kept, const char* one, const char* many,
                          const char* why) {
        if (kept < had) {
            const std::size_t missing = had - kept;
            notes.push_back(Counted(missing, one, many) + where + (missing == 1 ? "was" : "were") +
                            " not kept" + why);
        }
    };
    lost(source.conditionalFormats, result.conditionalFormats, "conditional format",
         "conditional formats", " (rules LibreOffice does not read)");
    lost(source.hyperlinks, result.hyperlinks, "hyperlink", "hyperlinks", "");
    lost(source.comments, result.comments, "comment", "comments", "");
    lost(source.shapes, result.shapes, "shape", "shapes", "");
    return notes;
}

}  // namespace tabrook::calcserver::objects
