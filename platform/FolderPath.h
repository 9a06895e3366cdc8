#pragma once

#include <QDir>
#include <QString>

namespace platform {

// `name` inside `folder`: the folder, the platform's separator unless the
// folder already ends in one, then the name. An empty folder leaves the name
// alone, which names it in the current folder.
inline QString pathInFolder(const QString &folder, const QString &name)
{
    if (folder.isEmpty() || folder.endsWith(QDir::separator()))
        return folder + name;
    return folder + QDir::separator() + name;
}

} // namespace platform
