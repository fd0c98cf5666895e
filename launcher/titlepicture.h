// The menu's title picture (270 x 180) and the programs' icon, carried inside the program.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace kestrow {

// The picture, or a null pixmap when the program was built without its pictures.
QPixmap titlePicture();

// The programs' icon at 64, 128 and 256 pixels; an empty icon without the pictures.
QIcon programIcon();

} // namespace kestrow
