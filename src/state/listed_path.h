#pragma once
// Paths kept in the lists that are saved to state files, one line each.

#include <string>

namespace tabrook::app {
class Form1;
}

namespace tabrook::state {

// True when `path` can go into a saved list. A path holding CR or LF would be read back
// as two entries, so it is refused with a message naming it.
bool AcceptListedPath(app::Form1& form, const std::string& path);

}  // namespace tabrook::state
