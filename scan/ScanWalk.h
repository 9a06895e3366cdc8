#pragma once

#include "ClipRow.h"

#include <QList>
#include <QString>
#include <QStringList>

class CErrorlog;

// What a scan lists.
struct ScanOptions
{
    // Clip extensions without dot, joined by "|" (the key Extenions). Entries
    // are compared with the upper-cased file extension, case-sensitively.
    QString extensions;
    // True lists only the clips that have no ".avs" script beside them.
    bool onlyWithoutScript = false;
};

// The text after the last "." of a file name; the whole name when it holds
// no "."; "" for a name ending in ".".
QString GetExtension(const QString &fileName);

// True when `extensionList`, split at "|" (empty entries kept), holds an entry
// equal to `extension` upper-cased one UTF-16 unit at a time. An empty list
// holds no entry.
bool IsCorrectExt(const QString &extensionList, const QString &extension);

// True when the folder's entries can be read and at least one of them is a
// file (a link to a file counts, a broken link does not). Any failure answers
// false and is not logged.
bool HasFiles(const QString &folder);

// Adds the clips of `folder` and of every folder below it to `out`, depth
// first: a folder's own clips (sorted by name) come before the rows of its
// subfolders (sorted by name). A folder without files of its own ends the
// descent on its branch. A folder that is already being walked further up the
// same branch (a link back up) is not entered again. Failures are logged under
// "ScanFolder" and the walk goes on.
void ScanFolder(const QString &folder, const ScanOptions &options, const CErrorlog &log, QList<ClipRow> &out);

// The whole scan: each scan folder in order through ScanFolder. A scan folder
// that does not exist or cannot be opened is logged under "cmdScan_Click" and
// skipped.
QList<ClipRow> scanFolders(const QStringList &scanFolders, const ScanOptions &options, const CErrorlog &log);
