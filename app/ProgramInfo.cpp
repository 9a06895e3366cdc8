#include "ProgramInfo.h"

#include "tovrane_version.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

ProgramInfo ProgramInfo::inFolder(const QString &folder)
{
    ProgramInfo info;
    info.folder = QDir::toNativeSeparators(QDir::cleanPath(folder));
    info.exeName = QStringLiteral("tovrane");
    info.major = TOVRANE_VERSION_MAJOR;
    info.minor = TOVRANE_VERSION_MINOR;
    info.revision = TOVRANE_VERSION_REVISION;
    info.copyright = QStringLiteral(TOVRANE_COPYRIGHT);
    info.webSite = QStringLiteral(TOVRANE_WEB_SITE);
    return info;
}

ProgramInfo ProgramInfo::current()
{
    ProgramInfo info = inFolder(QCoreApplication::applicationDirPath());
    info.exeName = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    return info;
}

QString ProgramInfo::versionText() const
{
    return QStringLiteral("%1.%2.%3").arg(major).arg(minor).arg(revision);
}

QString ProgramInfo::versionNumbers() const
{
    return QString::number(major) + QString::number(minor) + QString::number(revision);
}

QString ProgramInfo::pathInFolder(const QString &relative) const
{
    return folder + QDir::separator() + QDir::toNativeSeparators(relative);
}

QString ProgramInfo::settingsPath() const
{
    return pathInFolder(QStringLiteral("Settings.ini"));
}

QString ProgramInfo::programPage() const
{
    return webSite + QStringLiteral("/freeware/tovrane");
}

QString ProgramInfo::updateCheckAddress() const
{
    return programPage() + QStringLiteral("/downloads");
}
