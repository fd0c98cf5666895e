// The menu's title picture (270 x 180), carried inside the program.
#pragma once

#include <QPixmap>

namespace kestrow {

// The picture, or a null pixmap when the program was built without its pictures.
QPixmap titlePicture();

} // namespace kestrow
