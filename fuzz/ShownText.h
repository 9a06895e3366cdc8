#pragma once

// How the fuzz targets print a text in a failure report: quoted, with every
// character outside printable ASCII as a \uXXXX escape.

#include <QString>

#include <cstdio>
#include <string>

inline std::string shown(const QString &text)
{
    std::string out = "\"";
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'"' || u == u'\\') {
            out += '\\';
            out += char(u);
        } else if (u >= 0x20 && u < 0x7f) {
            out += char(u);
        } else {
            char hex[12];
            std::snprintf(hex, sizeof hex, "\\u%04x", unsigned(u));
            out += hex;
        }
    }
    return out + "\"";
}
