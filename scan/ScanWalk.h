#pragma once

#include "ClipRow.h"
#include "Failure.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace scan {

// What a scan lists.
struct ScanOptions
{
    // Clip extensions without dot, joined by "|" (the key Extenions), split
    // with empty entries kept; an empty text holds no entry. A file's
    // extension, the text after its last "." (the whole name when it holds
    // none, "" when it ends in "."), upper-cased one UTF-16 unit at a time,
    // must equal an entry exactly.
    QString extensions;
    // True lists only the clips that have no ".avs" script beside them.
    bool onlyWithoutScript = false;
};

// The scan: each scan folder in order, walked on its own, so that a folder
// given twice or below another is listed twice. A scan folder that does not
// exist or cannot be opened is reported to `report` and skipped.
//
// A walk adds the clips of the folder and of every folder below it, depth
// first: a folder's own clips (sorted by name) come before the rows of its
// subfolders (sorted by name). A folder without files of its own, or whose
// entries cannot be read, ends the descent on its branch. A file under the
// temporary name of a file being written counts for nothing. Links are followed,
// but each real folder is walked once per scan folder, by whichever way
// reaches it first. A clip is marked as having a script when a regular file or a link of any
// kind (a broken one too) stands under its script's name, in any case where
// the system ignores case. A failure inside
// the walk is reported to `walkReport` and the walk goes on.
//
// A name that does not decode exactly in the local encoding is left out
// rather than listed changed; a folder under such a name is left out with all
// it holds. Such a folder, and such a file on the clip list, is logged once
// per scan to `report` (error 52, the name with its raw bytes as \xHH).
QList<ClipRow> scanFolders(const QStringList &scanFolders, const ScanOptions &options,
    const errorlog::FailureSink &report, const errorlog::FailureSink &walkReport);

} // namespace scan
