#include "Substitute.h"

namespace scriptgen {

QString substitutePlaceholders(const QString &templ, const QString &clip, const QString &ext, const QString &location)
{
    QString text = templ;
    text.replace(QStringLiteral("%CLIP%"), clip, Qt::CaseSensitive);
    text.replace(QStringLiteral("%EXT%"), ext, Qt::CaseSensitive);
    text.replace(QStringLiteral("%PATH%"), location, Qt::CaseSensitive);
    return text;
}

} // namespace scriptgen
