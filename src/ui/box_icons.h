#pragma once

#include "ui/box_flags.h"

#include <QPixmap>

namespace mereval::ui {

inline constexpr int kBoxIconSize = 32;

// The 32 x 32 picture of a box icon, drawn rather than shipped so that it
// needs no image files; a transparent picture for BoxIcon::None.
QPixmap DrawBoxIcon(BoxIcon icon);

}  // namespace mereval::ui
