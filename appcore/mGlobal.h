#pragma once

#include <QList>
#include <QString>

namespace appcore {

// The settings file and the small shared helpers. Settings live in one
// INI-style text file with CR LF line ends; every read scans the file from the
// start and every write rewrites it whole. Failures reach the caller as
// RuntimeError.

// The value of `key` in `section`, or "" when absent. Creates a missing file.
QString ReadIniKey(const QString &fileName, const QString &section, const QString &key);

// Sets `key` to `value` in `section`, adding key and section when absent.
// The file is replaced only once the new text is completely written.
void WriteIniKey(const QString &fileName, const QString &section, const QString &key, const QString &value);

// The `count` characters from the 1-based `start` upper-cased, then the rest.
QString UCasePart(const QString &text, int start, int count);

// The index of the smallest non-zero entry (ties to the lowest index); 0 when
// every entry is 0.
int GetLowestIndex(const QList<qsizetype> &list);

// The classic 16-bit integer conversion of a setting's text; throws
// RuntimeError 13 for text that is not a number and 6 when out of range.
qint16 CInt(const QString &text);

} // namespace appcore
