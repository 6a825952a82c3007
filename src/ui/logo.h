#pragma once

#include <QPixmap>

namespace mereval::ui {

// The 46 x 52 picture in the main window's corner: a payment card on a
// wave, drawn rather than shipped so that it scales with the screen.
QPixmap Logo();

}  // namespace mereval::ui
