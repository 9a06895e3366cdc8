#pragma once

#include <QString>

// A clip's "File" text split at its last ".": the name the scripts are called
// after and the extension exactly as the file system spelled it.
struct ClipNameParts
{
    QString clip;
    QString ext;
};

// "a.b.avi" gives a.b / avi; "clip." gives clip / "". A name without "." is
// all extension and has no name: RuntimeError 5.
ClipNameParts splitClipFileName(const QString &file);

// Replaces every "%CLIP%", then every "%EXT%", then every "%PATH%", each pass
// over the text the one before produced, matching case-sensitively. Text that
// a value brings in is only seen by the passes after it, so a clip named
// "x%EXT%" expands to "x" + ext while a folder holding "%CLIP%" keeps it.
QString substitutePlaceholders(const QString &templ, const QString &clip, const QString &ext, const QString &location);
