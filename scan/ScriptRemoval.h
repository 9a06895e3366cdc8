#pragma once

#include <QString>

// Deletes every file directly in `folder` (not in its subfolders, not
// folders) whose extension, the text after the last "." of its name, equals
// `extension`: case-sensitively where file names are (Linux), ignoring case
// where they are not (Windows). Read-only files are deleted too. The extension
// is plain text, never a pattern; an empty extension deletes nothing.
// Nothing is thrown: a missing folder or a file that cannot be deleted just
// does not count. Returns the number of files deleted.
int removeScripts(const QString &folder, const QString &extension);
