#include "TemporaryNames.h"

#include "SafeFile.h"

#include <QRandomGenerator>

namespace platform::SafeFile {

namespace {

constexpr char TemporaryPrefix[] = ".tovrane-";
constexpr char TemporarySuffix[] = ".tmp";

} // namespace

QByteArray newTemporaryName()
{
    const QByteArray number = QByteArray::number(QRandomGenerator::global()->generate(), 16);
    return TemporaryPrefix + number.rightJustified(8, '0') + TemporarySuffix;
}

bool isTemporaryName(QByteArrayView name)
{
    const qsizetype prefix = sizeof TemporaryPrefix - 1, suffix = sizeof TemporarySuffix - 1;
    const qsizetype digits = name.size() - prefix - suffix;
    if (digits < 1 || digits > 8 || !name.startsWith(TemporaryPrefix) || !name.endsWith(TemporarySuffix))
        return false;
    for (const char c : name.sliced(prefix, digits)) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    }
    return true;
}

bool fileOrLinkExists(const QString &path)
{
    const Entry entry = entryAt(path);
    return entry == Entry::File || entry == Entry::Link;
}

} // namespace platform::SafeFile
