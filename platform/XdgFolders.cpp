#include "XdgFolders.h"

#include <QDir>

namespace platform {

namespace {

QString userFolder(const char *variable, const QString &underHome)
{
    const QString set = qEnvironmentVariable(variable);
    if (QDir::isAbsolutePath(set))
        return QDir::cleanPath(set);
    const QString home = qEnvironmentVariable("HOME");
    if (!QDir::isAbsolutePath(home))
        return QString();
    return QDir::cleanPath(home + QLatin1Char('/') + underHome);
}

} // namespace

namespace XdgFolders {

QString configHome()
{
    return userFolder("XDG_CONFIG_HOME", QStringLiteral(".config"));
}

QString dataHome()
{
    return userFolder("XDG_DATA_HOME", QStringLiteral(".local/share"));
}

QString stateHome()
{
    return userFolder("XDG_STATE_HOME", QStringLiteral(".local/state"));
}

QStringList configDirs()
{
    QStringList dirs;
    const QStringList listed = qEnvironmentVariable("XDG_CONFIG_DIRS").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString &dir : listed) {
        if (QDir::isAbsolutePath(dir))
            dirs.append(QDir::cleanPath(dir));
    }
    if (dirs.isEmpty())
        dirs.append(QStringLiteral("/etc/xdg"));
    return dirs;
}

} // namespace XdgFolders

} // namespace platform
