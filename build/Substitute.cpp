#include "Substitute.h"

ClipNameParts splitClipFileName(const QString &file)
{
    const qsizetype dot = file.lastIndexOf(QLatin1Char('.'));
    // Without a ".", the name part would have a length of -1; it is empty.
    if (dot < 0)
        return { QString(), file };
    return { file.left(dot), file.mid(dot + 1) };
}

QString substitutePlaceholders(const QString &templ, const QString &clip, const QString &ext, const QString &location)
{
    QString text = templ;
    text.replace(QStringLiteral("%CLIP%"), clip, Qt::CaseSensitive);
    text.replace(QStringLiteral("%EXT%"), ext, Qt::CaseSensitive);
    text.replace(QStringLiteral("%PATH%"), location, Qt::CaseSensitive);
    return text;
}
