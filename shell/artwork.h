// The product artwork, drawn at run time.
#pragma once

#include <QPixmap>

namespace shell::artwork {

// A square logo of the given size: a gauge dial in the product colours.
QPixmap logo(int size);

} // namespace shell::artwork
