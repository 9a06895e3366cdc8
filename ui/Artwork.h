#pragma once

#include <QPixmap>

namespace ui {

// The program's picture: a strip of film with a script page, drawn rather
// than shipped so it stays sharp at any size.
QPixmap tovranePicture(int size);

} // namespace ui
