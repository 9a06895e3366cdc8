#pragma once

#include "Failure.h"

#include <QString>

// One row of the clip list: the check box, the clip's file name ("File"),
// its folder ("Location") and whether its script exists ("AVS": "Y" or "-").
struct ClipRow
{
    bool checked = false;
    QString file;
    QString location;
    QString avs;

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
Expected<ClipNameParts> splitClipFileName(const QString &file);
