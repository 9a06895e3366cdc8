#pragma once

#include <QDir>
#include <QFileInfo>
#include <QMimeData>
#include <QStringList>
#include <QUrl>

namespace ui {

// What a drag from a file manager brings, as the program takes it.

// The local folders among the dropped items, in their order, as the folder
// chooser would hand them back; dropped files are no scan folders.
inline QStringList droppedFolders(const QMimeData *mime)
{
    QStringList folders;
    if (!mime || !mime->hasUrls())
        return folders;
    for (const QUrl &url : mime->urls()) {
        const QString path = url.toLocalFile();
        if (!path.isEmpty() && QFileInfo(path).isDir())
            folders << QDir::toNativeSeparators(QDir::cleanPath(path));
    }
    return folders;
}

// The template file when exactly one .avt or .avs file is dropped, else "".
inline QString droppedTemplate(const QMimeData *mime)
{
    if (!mime || !mime->hasUrls() || mime->urls().size() != 1)
        return QString();
    const QString path = mime->urls().constFirst().toLocalFile();
    const QFileInfo file(path);
    const QString suffix = file.suffix().toLower();
    if (path.isEmpty() || !file.isFile() || (suffix != u"avt" && suffix != u"avs"))
        return QString();
    return QDir::toNativeSeparators(path);
}

} // namespace ui
