#include "ProgramInfo.h"

#include "TextEncoding.h"
#include "tovrane_version.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_LINUX
#include <unistd.h>
#endif

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

QString ProgramInfo::currentFolderProblem()
{
#ifdef Q_OS_LINUX
    // The executable's path as the system holds it, byte for byte.
    QByteArray exe(4096, Qt::Uninitialized);
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", exe.data(), size_t(exe.size()));
        if (n < 0)
            return QStringLiteral("its own folder cannot be found");
        if (n < exe.size()) {
            exe.truncate(n);
            break;
        }
        exe.resize(exe.size() * 2);
    }
    const QByteArray nativeFolder = exe.left(exe.lastIndexOf('/'));
    if (QFile::encodeName(QFile::decodeName(nativeFolder)) != nativeFolder)
        return QStringLiteral("the name of its folder is not valid in the system's encoding: ")
            + escapedBytes(nativeFolder);
#endif
    const QString folder = QCoreApplication::applicationDirPath();
    if (folder.isEmpty() || QDir::isRelativePath(folder))
        return QStringLiteral("its own folder cannot be found");
    return QString();
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
