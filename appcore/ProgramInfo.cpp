#include "ProgramInfo.h"

#include "ExecutablePath.h"
#include "FolderPath.h"
#include "SafeFile.h"
#include "XdgFolders.h"
#include "tovrane_version.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace SafeFile = platform::SafeFile;
namespace XdgFolders = platform::XdgFolders;
using platform::pathInFolder;

namespace {

QString inside(const QString &folder, const QString &relative)
{
    return folder + QDir::separator() + QDir::toNativeSeparators(relative);
}

// Anything, even a link that leads nowhere: a Settings.ini the user broke
// still makes the folder theirs.
bool standsAt(const QString &path)
{
    return SafeFile::entryAt(path) != SafeFile::Entry::Missing;
}

// The user's own copy when there is one to read, else the package's.
QString usersOrDelivered(const QString &usersFolder, const QString &deliveredFolder, const QString &relative)
{
    const QString users = inside(usersFolder, relative);
    return QFileInfo::exists(users) ? users : inside(deliveredFolder, relative);
}

// Creates what is missing of `path`, each new folder for its owner alone, as
// the XDG rules ask of the base folders.
void makeFolder(const QString &path)
{
    if (path.isEmpty() || QFileInfo(path).isDir())
        return;
    makeFolder(QFileInfo(path).path());
    QDir().mkdir(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

} // namespace

ProgramFiles ProgramFiles::portable(const QString &programFolder)
{
    ProgramFiles files;
    files.settings = inside(programFolder, QStringLiteral("Settings.ini"));
    files.logFolder = programFolder;
    files.filters = inside(programFolder, QStringLiteral("Filters.txt"));
    files.templateFolder = pathInFolder(programFolder, QStringLiteral("Templates"));
    files.defaultTemplate = pathInFolder(files.templateFolder, QStringLiteral("Default.avs"));
    return files;
}

ProgramFiles ProgramFiles::of(const QString &programFolder)
{
    const QString delivered
        = QDir::toNativeSeparators(QDir::cleanPath(programFolder + QStringLiteral("/../../share/tovrane")));
    if (standsAt(inside(programFolder, QStringLiteral("Settings.ini")))
        || !QFileInfo(inside(delivered, QStringLiteral("Settings.ini"))).isFile())
        return portable(programFolder);

    const auto users = [](const QString &base) {
        return base.isEmpty() ? QString() : QDir::toNativeSeparators(base + QStringLiteral("/tovrane"));
    };
    const QString config = users(XdgFolders::configHome()), data = users(XdgFolders::dataHome());
    ProgramFiles files;
    files.installed = true;
    files.deliveredFolder = delivered;
    files.settings = config.isEmpty() ? QString() : inside(config, QStringLiteral("Settings.ini"));
    files.logFolder = users(XdgFolders::stateHome());
    if (!data.isEmpty()) {
        files.templateFolder = inside(data, QStringLiteral("Templates"));
        files.filters = usersOrDelivered(data, delivered, QStringLiteral("Filters.txt"));
        files.defaultTemplate = usersOrDelivered(data, delivered, QStringLiteral("Templates/Default.avs"));
    }
    return files;
}

QString ProgramFiles::problem() const
{
    if (installed && (settings.isEmpty() || logFolder.isEmpty() || templateFolder.isEmpty()))
        return QStringLiteral("there is no folder for the user's settings: neither HOME nor the XDG_CONFIG_HOME, "
                              "XDG_DATA_HOME and XDG_STATE_HOME it needs are set");
    return QString();
}

void ProgramFiles::prepare() const
{
    if (!installed || !problem().isEmpty())
        return;
    makeFolder(QFileInfo(settings).path());
    makeFolder(logFolder);
    makeFolder(templateFolder);
    if (standsAt(settings))
        return;
    QByteArray bytes;
    if (SafeFile::readFile(inside(deliveredFolder, QStringLiteral("Settings.ini")), bytes).ok())
        SafeFile::replaceFile(settings, bytes, SafeFile::Durability::Synced);
}

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
    info.files = ProgramFiles::portable(info.folder);
    return info;
}

ProgramInfo ProgramInfo::current()
{
    ProgramInfo info = inFolder(QCoreApplication::applicationDirPath());
    info.exeName = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    info.files = ProgramFiles::of(info.folder);
    info.files.prepare();
    return info;
}

QString ProgramInfo::currentFolderProblem()
{
    if (const QString problem = executableFolderProblem(); !problem.isEmpty())
        return problem;
    const QString folder = QCoreApplication::applicationDirPath();
    if (folder.isEmpty() || QDir::isRelativePath(folder))
        return QStringLiteral("its own folder cannot be found");
    return ProgramFiles::of(inFolder(folder).folder).problem();
}

QString ProgramInfo::versionText() const
{
    return QStringLiteral("%1.%2.%3").arg(major).arg(minor).arg(revision);
}

QString ProgramInfo::versionNumbers() const
{
    return QString::number(major) + QString::number(minor) + QString::number(revision);
}

QString ProgramInfo::settingsPath() const
{
    return files.settings;
}

QString ProgramInfo::programPage() const
{
    return webSite + QStringLiteral("/freeware/tovrane");
}

QString ProgramInfo::updateCheckAddress() const
{
    return programPage() + QStringLiteral("/downloads");
}
