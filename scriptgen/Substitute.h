#pragma once

#include <QString>

namespace scriptgen {

// Replaces every "%CLIP%", then every "%EXT%", then every "%PATH%", each pass
// over the text the one before produced, matching case-sensitively. Text that
// a value brings in is only seen by the passes after it, so a clip named
// "x%EXT%" expands to "x" + ext while a folder holding "%CLIP%" keeps it.
QString substitutePlaceholders(const QString &templ, const QString &clip, const QString &ext, const QString &location);

} // namespace scriptgen
