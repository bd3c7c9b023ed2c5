#pragma once
// Form controls as the office writes them: the legacy drawing places each control, but the
// sheet's control list and the drawing give every one the top-left cell and no size, so
// that a reader of either stacks them all in cell A1.

#include <cstddef>
#include <pugixml.hpp>
#include <string>
#include <vector>

namespace tabrook::calcserver::objects {

// Gives each control of the worksheet's control list, and its shape in `drawing` (may be
// empty), the placement its shape of the same name has in the legacy drawing `vml`, where
// they have none. Returns how many controls were placed.
std::size_t PlaceFormControls(pugi::xml_node worksheet, pugi::xml_node vml, pugi::xml_node drawing);

// A form control the legacy drawing draws: its shape's name and top-left cell.
struct DrawnControl {
    std::string name;
    long column = 0;
    long row = 0;
};

std::vector<DrawnControl> DrawnFormControls(pugi::xml_node vml);

}  // namespace tabrook::calcserver::objects
