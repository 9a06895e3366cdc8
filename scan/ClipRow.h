#pragma once

#include "Failure.h"

#include <QString>

namespace scan {

// Whether a clip's script stands beside it.
enum class ScriptMark { None, Exists };

// The mark as the list's "AVS" column shows it: "Y" or "-".
QString markText(ScriptMark mark);

// One row of the clip list: the check box, the clip's file name ("File"),
// its folder ("Location") and whether its script exists ("AVS").
struct ClipRow
{
    bool checked = false;
    QString file;
    QString location;
    ScriptMark avs = ScriptMark::None;

    friend bool operator==(const ClipRow &, const ClipRow &) = default;
};

// A clip's "File" text split at its last ".": the name the scripts are called
// after and the extension exactly as the file system spelled it.
struct ClipNameParts
{
    QString clip;
    QString ext;
};

// "a.b.avi" gives a.b / avi; "clip." gives clip / "". A name without "." is
// all extension and has no name: failure 5.
errorlog::Expected<ClipNameParts> splitClipFileName(const QString &file);

} // namespace scan
