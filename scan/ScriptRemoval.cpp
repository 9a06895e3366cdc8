#include "ScriptRemoval.h"

#include "FolderPath.h"
#include "SafeFile.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QSet>

namespace SafeFile = platform::SafeFile;
using platform::pathInFolder;

using errorlog::Expected;

namespace scan {

int removeScripts(const QString &folder, const QString &extension)
{
    // Without an extension the wildcard form would reach files that have
    // none, or every file; nobody asks for that.
    if (extension.isEmpty() || folder.isEmpty())
        return 0;
#ifdef Q_OS_WIN
    constexpr Qt::CaseSensitivity cs = Qt::CaseInsensitive;
#else
    constexpr Qt::CaseSensitivity cs = Qt::CaseSensitive;
#endif
    int removed = 0;
    try {
        // Names are compared here rather than handed to a name filter, so
        // that "*", "?" and "[" in the extension stay literal.
        // System brings broken links along: a link is a script like any other
        // (only the link goes, never its target); FIFOs and devices stay.
        QDirIterator it(folder, QDir::Files | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
        while (it.hasNext()) {
            const QString path = it.next();
            const QString name = it.fileName();
            const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
            if (dot < 0 || QStringView(name).mid(dot + 1).compare(extension, cs) != 0
                || !SafeFile::fileOrLinkExists(path))
                continue;
#ifdef Q_OS_WIN
            // Windows refuses to delete a read-only file; the user asked for it gone.
            QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::WriteOwner | QFileDevice::WriteUser);
#endif
            if (QFile::remove(path))
                ++removed;
        }
    } catch (...) {
        // The caller goes on whatever happens here; what was deleted counts.
    }
    return removed;
}

void removeCheckedScripts(
    const QList<ClipRow> &rows, const QString &extension, const std::function<void(int row)> &markRemoved)
{
    // A folder that is gone, or holds no scripts, simply has nothing to
    // remove: nothing here is worth a record.
    QSet<QString> cleared;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const ClipRow &row = rows.at(i);
        if (!row.checked)
            continue;
        try {
            if (!cleared.contains(row.location)) {
                cleared.insert(row.location);
                removeScripts(row.location, extension);
            }
        } catch (...) { }
        // A script that could not be deleted (no rights to its folder) still
        // stands beside the clip, and the list must not say otherwise.
        const Expected<ClipNameParts> parts = splitClipFileName(row.file);
        if (!parts)
            continue;
        const QString script = pathInFolder(row.location, parts->clip + QLatin1Char('.') + extension);
        try {
            if (!SafeFile::fileOrLinkExists(script) && markRemoved)
                markRemoved(int(i));
        } catch (...) { }
    }
}

} // namespace scan
