#pragma once

#include <QString>
#include <QStringList>

namespace editor {

// The filter file (Filters.txt): one name per line, each line trimmed of
// leading and trailing spaces (only spaces) and otherwise taken literally; a
// byte-order mark at its start is no part of the first name.
struct FilterList
{
    // Every trimmed line longer than one character, as written, in file
    // order: the names completion offers (its list sorts them itself).
    QStringList offered;
    // Every line upper-cased unit by unit, in file order: the names the
    // colouring looks for. Empty lines before the first non-empty one give
    // nothing, a later one an empty name; a line holding "|" gives one name
    // per piece between the bars.
    QStringList filterNames;
};

// Reads the filter file at `path`; a file that is missing or cannot be read
// throws RuntimeError (53 when it does not exist).
FilterList readFilterList(const QString &path);

} // namespace editor
