#pragma once

// Texts in and out of the fuzz targets: how fuzzer bytes become a text, and
// how a text is printed in a failure report.

#include <QString>

#include <cstdio>
#include <string>

// Raw UTF-16 reaches lone surrogates and every unit's case mapping; UTF-8
// reaches what a template file holds, with far shorter inputs.
inline QString decode(const std::string &bytes, bool utf16)
{
    if (!utf16)
        return QString::fromUtf8(bytes);
    QString text;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        text += QChar(char16_t(uchar(bytes[i]) | uchar(bytes[i + 1]) << 8));
    return text;
}

// Quoted, with every character outside printable ASCII as a \uXXXX escape.
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
