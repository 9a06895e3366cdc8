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
// descent on its branch. Links are followed, but each real folder is walked
// once per call, by whichever way reaches it first. A clip is marked "Y" when
// a regular file or a link of any kind (a broken one too) stands under its
// script's name. Failures are logged under "ScanFolder" and the walk goes on.
//
// A name that does not decode exactly in the local encoding is left out
// rather than listed changed; a folder under such a name is left out with all
// it holds. Such a folder, and such a file on the clip list, is logged once
// under "cmdScan_Click" (error 52, the name with its raw bytes as \xHH).
void ScanFolder(const QString &folder, const ScanOptions &options, const CErrorlog &log, QList<ClipRow> &out);

// The whole scan: each scan folder in order, each walked on its own as by
// ScanFolder, so that a folder given twice or below another is listed twice.
// A scan folder that does not exist or cannot be opened is logged under
// "cmdScan_Click" and skipped. A left-out name is logged once per scan.
QList<ClipRow> scanFolders(const QStringList &scanFolders, const ScanOptions &options, const CErrorlog &log);
