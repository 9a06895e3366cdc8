#include "FilterList.h"

#include "ColorSpans.h"
#include "RuntimeError.h"
#include "SafeFile.h"
#include "TextEncoding.h"
#include "TextLines.h"

namespace SafeFile = platform::SafeFile;
using platform::decodeFile;
using platform::detectTextFormat;
using platform::splitLines;

using errorlog::RuntimeError;

namespace editor {

FilterList readFilterList(const QString &path)
{
    QByteArray bytes;
    RuntimeError::check(SafeFile::readFile(path, bytes), path);
    // A byte-order mark some editors write is no part of the first name.
    const QString text = decodeFile(bytes, detectTextFormat(bytes, true));
    FilterList list;
    QString accumulated;
    for (QString line : splitLines(text)) {
        // Only blanks are trimmed, as the file's lines are taken literally.
        qsizetype from = 0, to = line.size();
        while (from < to && line[from] == QLatin1Char(' '))
            ++from;
        while (to > from && line[to - 1] == QLatin1Char(' '))
            --to;
        line = line.mid(from, to - from);
        if (line.size() > 1)
            list.offered << line;
        const QString upper = upperPerUnit(line);
        if (accumulated.isEmpty())
            accumulated = upper;
        else
            accumulated += QLatin1Char('|') + upper;
    }
    list.filterNames = accumulated.isEmpty() ? QStringList() : accumulated.split(QLatin1Char('|'));
    return list;
}

} // namespace editor
