#pragma once

#include <QDir>
#include <QString>

namespace platform {

// Windows takes "/" as well as its own "\", and a folder typed or stored
// either way must not get a second one.
inline bool endsWithSeparator(const QString &path)
{
    return path.endsWith(QLatin1Char('/')) || path.endsWith(QDir::separator());
}

// `name` inside `folder`: the folder, the platform's separator unless the
// folder already ends in one, then the name. An empty folder leaves the name
// alone, which names it in the current folder.
inline QString pathInFolder(const QString &folder, const QString &name)
{
    if (folder.isEmpty() || endsWithSeparator(folder))
        return folder + name;
    return folder + QDir::separator() + name;
}

} // namespace platform
