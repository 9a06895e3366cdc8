#pragma once

#include <QString>

// The values the settings burst writes: "<i>:<letters>:end", the letters all
// alike and their number varying, so the file both grows and shrinks between
// writes and a torn value cannot pass for another.
inline QString burstValue(qint64 i)
{
    const int letters = int((i * 37) % 3001);
    return QString::number(i) + QLatin1Char(':') + QString(letters, QChar(u'a' + int(i % 26))) + QStringLiteral(":end");
}
