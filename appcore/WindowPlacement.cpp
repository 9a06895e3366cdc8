#include "WindowPlacement.h"

#include "RuntimeError.h"
#include "SafeFile.h"
#include "TextEncoding.h"
#include "mGlobal.h"

#include <algorithm>

namespace SafeFile = platform::SafeFile;
using platform::Utf8Bom;

using errorlog::RuntimeError;

namespace appcore {

namespace {

const QString WidthKey = QStringLiteral("Width");
const QString HeightKey = QStringLiteral("Height");
const QString MaximizedKey = QStringLiteral("Maximized");
const QString ColumnsKey = QStringLiteral("Columns");

// A whole number written by this program: digits only.
int number(const QString &text, bool *ok)
{
    *ok = !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) { return c.isDigit(); });
    const int value = *ok ? text.toInt(ok) : 0;
    return *ok ? value : 0;
}

QString columnsText(const QList<int> &columns)
{
    QStringList parts;
    for (int width : columns)
        parts << QString::number(width);
    return parts.join(QLatin1Char(','));
}

} // namespace

WindowPlacement readWindowPlacement(const QString &iniPath, QSize screen, QSize least, int columnCount)
{
    WindowPlacement placement;
    bool widthOk = false, heightOk = false;
    const int width = number(ReadIniKey(iniPath, WindowSection, WidthKey), &widthOk);
    const int height = number(ReadIniKey(iniPath, WindowSection, HeightKey), &heightOk);
    const QSize size(width, height);
    if (widthOk && heightOk && size.boundedTo(screen) == size && size.expandedTo(least) == size)
        placement.size = size;
    placement.maximized = ReadIniKey(iniPath, WindowSection, MaximizedKey) == QStringLiteral("1");

    placement.columns = QList<int>(columnCount, 0);
    const QStringList stored = ReadIniKey(iniPath, WindowSection, ColumnsKey).split(QLatin1Char(','));
    if (stored.size() == columnCount) {
        for (int i = 0; i < columnCount; ++i) {
            bool ok = false;
            const int column = number(stored.at(i), &ok);
            if (ok && column > 0 && column <= screen.width())
                placement.columns[i] = column;
        }
    }
    return placement;
}

bool writeWindowPlacement(const QString &iniPath, const WindowPlacement &before, const WindowPlacement &now)
{
    if (before == now)
        return true;
    // A file that is gone is made anew by the writer.
    QByteArray file;
    if (SafeFile::fileOrLinkExists(iniPath))
        RuntimeError::check(SafeFile::readFile(iniPath, file), iniPath);
    if (!rewritesOnlyItsSection(file))
        return false;
    // Each new key goes first in its section: written last to first, they
    // stand in the file in this order.
    if (before.columns != now.columns)
        WriteIniKey(iniPath, WindowSection, ColumnsKey, columnsText(now.columns));
    if (before.maximized != now.maximized)
        WriteIniKey(iniPath, WindowSection, MaximizedKey, now.maximized ? QStringLiteral("1") : QStringLiteral("0"));
    if (before.size.height() != now.size.height())
        WriteIniKey(iniPath, WindowSection, HeightKey, QString::number(now.size.height()));
    if (before.size.width() != now.size.width())
        WriteIniKey(iniPath, WindowSection, WidthKey, QString::number(now.size.width()));
    return true;
}

bool rewritesOnlyItsSection(const QByteArray &file)
{
    const QByteArray text = file.startsWith(Utf8Bom) ? file.mid(Utf8Bom.size()) : file;
    if (text.isEmpty())
        return true;
    // The writer trims control characters at both ends and ends the file
    // with one CR LF.
    if (uchar(text.front()) <= 13 || !text.endsWith("\r\n") || (text.size() > 2 && uchar(text[text.size() - 3]) <= 13))
        return false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            return false;
        if (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'))
            return false;
    }
    return !text.contains("\r\n\r\n\r\n");
}

} // namespace appcore
