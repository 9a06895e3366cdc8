#pragma once

#include "ClipRow.h"

#include <QList>
#include <QString>

#include <functional>

namespace scan {

// Deletes every file directly in `folder` (not in its subfolders, not
// folders) whose extension, the text after the last "." of its name, equals
// `extension`: case-sensitively where file names are (Linux), ignoring case
// where they are not (Windows). Read-only files are deleted too. The extension
// is plain text, never a pattern; an empty extension deletes nothing.
// Nothing is thrown: a missing folder or a file that cannot be deleted just
// does not count. Returns the number of files deleted.
int removeScripts(const QString &folder, const QString &extension);

// The removal for the clip list: walks the rows in order and, for each
// checked row, empties its folder of scripts with removeScripts (once per
// folder, however many clips it holds), then calls markRemoved(row) when the
// clip's own script (folder + clip name + "." + `extension`, as the per-clip
// build names it) no longer stands there as a file or a link. A script that
// could not be deleted, or a clip without a name for its script, keeps the
// row's mark. Every failure is skipped without a record and nothing is thrown.
void removeCheckedScripts(
    const QList<ClipRow> &rows, const QString &extension, const std::function<void(int row)> &markRemoved);

} // namespace scan
