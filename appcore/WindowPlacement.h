#pragma once

#include <QByteArray>
#include <QList>
#include <QSize>
#include <QString>

namespace appcore {

// How the main window was left, kept between runs in a section of its own in
// the settings file: [Window] with Width, Height, Maximized and Columns.
struct WindowPlacement
{
    QSize size; // the window's normal size; invalid where the design size holds
    bool maximized = false;
    QList<int> columns; // per column the width the user set, 0 where it follows the window

    bool operator==(const WindowPlacement &) const = default;
};

inline const QString WindowSection = QStringLiteral("Window");

// The stored placement. A size that is not a whole number, that is larger
// than `screen` or smaller than `least` leaves `size` invalid (the design
// size holds); a column width that is not a number, not positive or wider
// than the screen leaves that column following the window. Failures to read
// the file reach the caller as RuntimeError.
WindowPlacement readWindowPlacement(const QString &iniPath, QSize screen, QSize least, int columnCount);

// Stores the keys whose values differ between `before` (as the run began)
// and `now`. Writes nothing when a write could change a byte outside the
// [Window] section (see rewritesOnlyItsSection); returns false then. Failures
// to write reach the caller as RuntimeError.
bool writeWindowPlacement(const QString &iniPath, const WindowPlacement &before, const WindowPlacement &now);

// True when the settings writer gives back every byte of `file` outside the
// section it writes: the writer tidies the whole file (it makes every line
// end CR LF, shrinks runs of empty lines and trims control characters at the
// file's ends), so a file it would tidy is left alone.
bool rewritesOnlyItsSection(const QByteArray &file);

} // namespace appcore
