#pragma once

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
