#pragma once
// The program's own pictures, drawn from the SVG files in the resource file.

#include <QIcon>
#include <QString>

namespace tabrook::platform {

// `name` is the file name under ":/icons/", e.g. "folder.svg"; rendered at `size` pixels.
QIcon ResourceIcon(const QString& name, int size);

}  // namespace tabrook::platform
