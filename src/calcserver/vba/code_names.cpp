#include "calcserver/vba/code_names.h"

#include <initializer_list>

#include "calcserver/package/xml_names.h"

namespace tabrook::calcserver::vba {
namespace {

using package::ChildNamed;
using package::LocalName;

void SetCodeName(pugi::xml_node element, const std::string& value) {
    pugi::xml_attribute attribute = element.attribute("codeName");
    if (!attribute) {
        attribute = element.append_attribute("codeName");
    }
    attribute = value.c_str();
}

}  // namespace

bool IsAcceptableCodeName(std::string_view codeName) {
    if (codeName.empty()) {
        return false;
    }
    const auto first = static_cast<unsigned char>(codeName.front());
    if (first < 0x80 && !((first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z'))) {
        return false;
    }
    for (const char c : codeName) {
        const auto byte = static_cast<unsigned char>(c);
        const bool asciiWordCharacter = (byte >= 'A' && byte <= 'Z') ||
                                        (byte >= 'a' && byte <= 'z') ||
                                        (byte >= '0' && byte <= '9') || byte == '_';
        if (byte < 0x80 && !asciiWordCharacter) {
            return false;
        }
    }
    return true;
}

void SetWorkbookCodeName(pugi::xml_document& workbook, const std::string& codeName) {
    pugi::xml_node root = workbook.document_element();
    pugi::xml_node properties = ChildNamed(root, "workbookPr");
    if (!properties) {
        // workbookPr follows fileVersion and fileSharing and precedes everything else.
        pugi::xml_node after;
        for (const char* earlier : {"fileVersion", "fileSharing"}) {
            if (pugi::xml_node node = ChildNamed(root, earlier)) {
                after = node;
            }
        }
        const std::string name = package::WithPrefixOf(root, "workbookPr");
        properties =
            after ? root.insert_child_after(name.c_str(), after) : root.prepend_child(name.c_str());
    }
    SetCodeName(properties, codeName);
}

SheetPartKind KindOfSheetPart(const pugi::xml_document& part) {
    const std::string_view root = LocalName(part.document_element());
    if (root == "worksheet") {
        return SheetPartKind::Worksheet;
    }
    if (root == "chartsheet" || root == "macrosheet" || root == "dialogsheet") {
        return SheetPartKind::OtherSheet;
    }
    return SheetPartKind::Unknown;
}

void SetSheetCodeName(pugi::xml_document& part, const std::string& codeName) {
    pugi::xml_node root = part.document_element();
    pugi::xml_node properties = ChildNamed(root, "sheetPr");
    if (!properties) {
        // sheetPr is the first child of every kind of sheet.
        properties = root.prepend_child(package::WithPrefixOf(root, "sheetPr").c_str());
    }
    SetCodeName(properties, codeName);
}

}  // namespace tabrook::calcserver::vba
