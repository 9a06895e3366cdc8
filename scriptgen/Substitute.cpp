#include "Substitute.h"

#include "RuntimeError.h"

ClipNameParts splitClipFileName(const QString &file)
{
    const qsizetype dot = file.lastIndexOf(QLatin1Char('.'));
    // The whole name is the extension, and the name before it would be one
    // character shorter than nothing: no script can be named after it.
    if (dot < 0)
        throw RuntimeError(ErrNum::InvalidProcedureCall, RuntimeError::standardDescription(ErrNum::InvalidProcedureCall)
                + QStringLiteral(": a clip name without \".\" leaves no name for its script: ") + file);
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
