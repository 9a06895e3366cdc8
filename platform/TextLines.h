#pragma once

#include <QList>

namespace platform {

// The one reading of line ends for every text file the program reads (the
// settings file, templates, Filters.txt): CR LF, a lone CR and a lone LF
// each end a line. Works on bytes (QByteArray) and on text (QString).

// The lines of `text` without their line ends. A final line end ends the
// last line; it does not start another, so "a\r\n" is one line and "" none.
template <typename Text> QList<Text> splitLines(const Text &text)
{
    QList<Text> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n')
            continue;
        lines.append(text.mid(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines.append(text.mid(start));
    return lines;
}

// `text` with every line end written as `lineEnd`.
template <typename Text> Text withLineEnds(const Text &text, const Text &lineEnd)
{
    Text out;
    out.reserve(text.size() + text.size() / 16);
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += lineEnd;
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else if (text[i] == '\n') {
            out += lineEnd;
        } else {
            out += text[i];
        }
    }
    return out;
}

} // namespace platform
