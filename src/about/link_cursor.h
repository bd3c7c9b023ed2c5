#pragma once
// The About box's link pointer: a 32 x 32 pointing hand of our own, hot spot at the tip of
// the finger.

#include <QCursor>

namespace tabrook::about {

inline constexpr int kLinkCursorSize = 32;

QCursor LinkCursor();

}  // namespace tabrook::about
