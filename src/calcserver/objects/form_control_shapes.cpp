#include "calcserver/objects/form_control_shapes.h"

#include <string_view>

#include "calcserver/package/package_xml.h"
#include "calcserver/package/xml_names.h"

namespace tabrook::calcserver::objects {
namespace {

constexpr long kEmuPerPixel = 9525;

void AddText(pugi::xml_node data, const char* name, const std::string& text) {
    if (!text.empty()) {
        data.append_child(name).text() = text.c_str();
    }
}

void AppendCorner(pugi::xml_node anchor, const std::string& xdr, const std::string& name,
                  std::uint16_t column, int columnOffset, std::uint16_t row, int rowOffset) {
    pugi::xml_node corner = anchor.append_child(name.c_str());
    corner.append_child((xdr + ":col").c_str()).text() = column;
    corner.append_child((xdr + ":colOff").c_str()).text() =
        static_cast<long long>(columnOffset) * kEmuPerPixel;
    corner.append_child((xdr + ":row").c_str()).text() = row;
    corner.append_child((xdr + ":rowOff").c_str()).text() =
        static_cast<long long>(rowOffset) * kEmuPerPixel;
}

// The shape type the legacy drawing draws form controls with.
void EnsureControlShapeType(pugi::xml_node vml) {
    for (const pugi::xml_node child : vml.children()) {
        if (std::string_view(child.attribute("id").value()) == "_x0000_t201") {
            return;
        }
    }
    pugi::xml_node type = vml.append_child("v:shapetype");
    type.append_attribute("id") = "_x0000_t201";
    type.append_attribute("coordsize") = "21600,21600";
    type.append_attribute("o:spt") = "201";
    type.append_attribute("path") = "m,l,21600r21600,l21600,xe";
    type.append_child("v:stroke").append_attribute("joinstyle") = "miter";
    pugi::xml_node path = type.append_child("v:path");
    path.append_attribute("shadowok") = "f";
    path.append_attribute("o:extrusionok") = "f";
    path.append_attribute("strokeok") = "f";
    path.append_attribute("fillok") = "f";
    path.append_attribute("o:connecttype") = "rect";
    pugi::xml_node lock = type.append_child("o:lock");
    lock.append_attribute("v:ext") = "edit";
    lock.append_attribute("shapetype") = "t";
}

// A list keeps scroll data too, but only a spinner's or scroll bar's values mean anything.
bool HasScrollValues(const FormControl& control) {
    return control.objectType == 0x10 || control.objectType == 0x11;
}

}  // namespace

std::optional<FormControlKind> KindOfFormControl(std::uint16_t objectType) {
    switch (objectType) {
        case 0x07:
            return FormControlKind{"Button", "Button", "Button"};
        case 0x0B:
            return FormControlKind{"Checkbox", "CheckBox", "Check Box"};
        case 0x0C:
            return FormControlKind{"Radio", "Radio", "Option Button"};
        case 0x0D:
            return FormControlKind{"Edit", "EditBox", "Edit Box"};
        case 0x0E:
            return FormControlKind{"Label", "Label", "Label"};
        case 0x0F:
            return FormControlKind{"Dialog", "Dialog", "Dialog"};
        case 0x10:
            return FormControlKind{"Spin", "Spin", "Spinner"};
        case 0x11:
            return FormControlKind{"Scroll", "Scroll", "Scroll Bar"};
        case 0x12:
            return FormControlKind{"List", "List", "List Box"};
        case 0x13:
            return FormControlKind{"GBox", "GBox", "Group Box"};
        case 0x14:
            return FormControlKind{"Drop", "Drop", "Drop Down"};
        default:
            return std::nullopt;
    }
}

std::string FormControlName(const FormControl& control, const FormControlKind& kind) {
    return !control.name.empty()
               ? control.name
               : std::string(kind.defaultName) + " " + std::to_string(control.objectId);
}

void AppendFormControlShape(pugi::xml_node vml, unsigned shapeId, const PixelBox& box,
                            const CellAnchor& cells, const FormControl& control,
                            const FormControlKind& kind, const FormControlFormulas& formulas) {
    EnsureControlShapeType(vml);
    pugi::xml_node shape = vml.append_child("v:shape");
    shape.append_attribute("id") = ("_x0000_s" + std::to_string(shapeId)).c_str();
    shape.append_attribute("ID") = FormControlName(control, kind).c_str();
    shape.append_attribute("type") = "#_x0000_t201";
    shape.append_attribute("style") = LegacyShapeStyle(box).c_str();
    shape.append_attribute("o:button") = kind.drawingType == std::string_view("Button") ? "t" : "f";
    pugi::xml_node text = shape.append_child("v:textbox").append_child("div");
    if (!control.caption.empty()) {
        text.append_child("font").text() = control.caption.c_str();
    }
    pugi::xml_node data = shape.append_child("x:ClientData");
    data.append_attribute("ObjectType") = kind.drawingType;
    data.append_child("x:Anchor").text() = LegacyAnchorText(cells, box).c_str();
    data.append_child("x:PrintObject").text() = "False";
    AddText(data, "x:FmlaMacro", formulas.macro);
    AddText(data, "x:FmlaLink", formulas.link);
    AddText(data, "x:FmlaRange", formulas.listRange);
    if (control.scroll && HasScrollValues(control)) {
        const auto& [value, minimum, maximum, step, page] = *control.scroll;
        data.append_child("x:Val").text() = value;
        data.append_child("x:Min").text() = minimum;
        data.append_child("x:Max").text() = maximum;
        data.append_child("x:Inc").text() = step;
        data.append_child("x:Page").text() = page;
    }
    if (control.checked && *control.checked != 0) {
        data.append_child("x:Checked").text() = *control.checked;
    }
}

std::string FormControlPropertiesXml(const FormControl& control, const FormControlKind& kind,
                                     const FormControlFormulas& formulas) {
    pugi::xml_document document;
    package::AppendDeclaration(document);
    pugi::xml_node properties = document.append_child("formControlPr");
    properties.append_attribute("xmlns") =
        "http://schemas.microsoft.com/office/spreadsheetml/2009/9/main";
    properties.append_attribute("objectType") = kind.propertyType;
    if (control.checked) {
        properties.append_attribute("checked") = *control.checked == 1   ? "Checked"
                                                 : *control.checked == 2 ? "Mixed"
                                                                         : "Unchecked";
    }
    if (!formulas.link.empty()) {
        properties.append_attribute("fmlaLink") = formulas.link.c_str();
    }
    if (!formulas.listRange.empty()) {
        properties.append_attribute("fmlaRange") = formulas.listRange.c_str();
    }
    if (control.scroll && HasScrollValues(control)) {
        const auto& [value, minimum, maximum, step, page] = *control.scroll;
        properties.append_attribute("val") = value;
        properties.append_attribute("min") = minimum;
        properties.append_attribute("max") = maximum;
        properties.append_attribute("inc") = step;
        properties.append_attribute("page") = page;
    }
    properties.append_attribute("print") = "false";
    return package::SavePart(document);
}

void AppendFormControlEntry(pugi::xml_node controls, const std::string& x14, const std::string& xdr,
                            unsigned shapeId, const std::string& relationshipId,
                            const std::string& r, const std::string& name, const std::string& macro,
                            const CellAnchor& cells, const PixelBox& box) {
    pugi::xml_node alternate = controls.append_child("mc:AlternateContent");
    alternate.append_attribute("xmlns:mc") =
        "http://schemas.openxmlformats.org/markup-compatibility/2006";
    pugi::xml_node choice = alternate.append_child("mc:Choice");
    choice.append_attribute("Requires") = x14.c_str();
    // In the worksheet's namespace, under whatever prefix it has there.
    const auto named = [&](const char* local) { return package::WithPrefixOf(controls, local); };
    pugi::xml_node control = choice.append_child(named("control").c_str());
    control.append_attribute("shapeId") = shapeId;
    control.append_attribute((r + ":id").c_str()) = relationshipId.c_str();
    control.append_attribute("name") = name.c_str();
    pugi::xml_node properties = control.append_child(named("controlPr").c_str());
    properties.append_attribute("defaultSize") = "0";
    properties.append_attribute("print") = "0";
    properties.append_attribute("autoFill") = "0";
    properties.append_attribute("autoPict") = "0";
    if (!macro.empty()) {
        properties.append_attribute("macro") = macro.c_str();
    }
    properties.append_attribute("altText") = name.c_str();
    pugi::xml_node anchor = properties.append_child(named("anchor").c_str());
    anchor.append_attribute("moveWithCells") = "1";
    AppendCorner(anchor, xdr, named("from"), cells.firstColumn, box.firstColumnOffset,
                 cells.firstRow, box.firstRowOffset);
    AppendCorner(anchor, xdr, named("to"), cells.lastColumn, box.lastColumnOffset, cells.lastRow,
                 box.lastRowOffset);
}

}  // namespace tabrook::calcserver::objects
