#pragma once
// Frozen panes as a legacy sheet's first window holds them (WINDOW2 and PANE records), and
// putting them back into a converted worksheet's first view when the office left them out.

#include <cstdint>
#include <optional>
#include <pugixml.hpp>
#include <span>

namespace tabrook::calcserver::objects {

struct FrozenPane {
    std::uint16_t columns = 0;     // columns left of the split
    std::uint16_t rows = 0;        // rows above the split
    std::uint16_t topRow = 0;      // first row shown in the lower pane, 0-based
    std::uint16_t leftColumn = 0;  // first column shown in the right pane, 0-based
    std::uint8_t activePane = 0;   // 0 bottom right, 1 top right, 2 bottom left, 3 top left
    bool split = false;            // frozen from a split the user made (fFrozenNoSplit clear)
};

// The frozen pane a WINDOW2 record announces, completed by the PANE record after it; none
// when the window is not frozen or either record is too short.
std::optional<FrozenPane> FrozenPaneOf(std::span<const std::uint8_t> window2,
                                       std::span<const std::uint8_t> pane);

// Gives the worksheet's first view the pane when it has no frozen one; true when the
// worksheet changed. A pane that freezes nothing is left out.
bool RestoreFrozenPane(pugi::xml_node worksheet, const FrozenPane& pane);

}  // namespace tabrook::calcserver::objects
