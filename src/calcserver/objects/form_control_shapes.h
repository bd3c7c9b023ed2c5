#pragma once
// Form controls the office dropped, rebuilt from their OBJ records the way a package holds
// them: a shape of the legacy drawing (what draws the control, in every format), the
// control's properties part, and its entry in the sheet's list of controls.

#include <optional>
#include <pugixml.hpp>
#include <string>

#include "calcserver/objects/sheet_geometry.h"
#include "calcserver/objects/source_objects.h"

namespace tabrook::calcserver::objects {

// What the control's formulas say, as text without "=": empty where it has none.
struct FormControlFormulas {
    std::string macro;
    std::string link;
    std::string listRange;
};

struct FormControlKind {
    const char* drawingType;   // the legacy drawing's ObjectType ("Spin")
    const char* propertyType;  // the properties part's objectType ("Spin")
    const char* defaultName;   // the name Excel gives a new one ("Spinner")
};

// Nothing for an object type that is no form control.
std::optional<FormControlKind> KindOfFormControl(std::uint16_t objectType);

// The name the control goes by: its shape's own, else the kind's with the object's id.
std::string FormControlName(const FormControl& control, const FormControlKind& kind);

// Appends the control's shape to the legacy drawing `vml`, placed at `box` over `cells`.
void AppendFormControlShape(pugi::xml_node vml, unsigned shapeId, const PixelBox& box,
                            const CellAnchor& cells, const FormControl& control,
                            const FormControlKind& kind, const FormControlFormulas& formulas);

// The control's properties part.
std::string FormControlPropertiesXml(const FormControl& control, const FormControlKind& kind,
                                     const FormControlFormulas& formulas);

// Appends the control to `controls`, the worksheet's list of form controls; `r` and `xdr` are
// the worksheet's prefixes of the relationships and spreadsheet drawing namespaces, `x14`
// the one its compatibility blocks require. `relationshipId` relates the properties part.
void AppendFormControlEntry(pugi::xml_node controls, const std::string& x14, const std::string& xdr,
                            unsigned shapeId, const std::string& relationshipId,
                            const std::string& r, const std::string& name, const std::string& macro,
                            const CellAnchor& cells, const PixelBox& box);

}  // namespace tabrook::calcserver::objects
