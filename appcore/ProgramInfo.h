#pragma once

#include <QString>

namespace appcore {

// Where the program's own files are, decided once at start.
//
// Portable, the layout of a build, of a folder of its own or of a per-user
// install: everything beside the executable, which holds a Settings.ini (or
// nothing yet, on a first start in an empty folder).
//
// Installed, the package's layout: no Settings.ini beside the executable and
// the delivered data in share/tovrane of the same prefix (../../share/tovrane
// from lib/tovrane). The user's settings, logs and templates then live in
// their own XDG folders, and the delivered data is read from the package
// unless the user has put their own in $XDG_DATA_HOME/tovrane. Nothing is
// ever written beside the program then, whoever runs it.
struct ProgramFiles
{
    bool installed = false;
    QString settings; // Settings.ini
    QString logFolder; // where the daily error logs go
    QString filters; // Filters.txt
    QString defaultTemplate; // the start-up template, Templates/Default.avs
    QString templateFolder; // where Load and Save start: the user's templates
    QString deliveredFolder; // installed: the package's data (share/tovrane)

    // Everything in programFolder.
    static ProgramFiles portable(const QString &programFolder);
    // The layout the program in programFolder stands in, as the disk and
    // the environment show it now.
    static ProgramFiles of(const QString &programFolder);

    // Why an installed program has nowhere to keep the user's files (no
    // home folder); "" when it has, and always for a portable one.
    QString problem() const;
    // Installed: makes the user's folders, and their Settings.ini from the
    // delivered one when they have none (a first start). Anything that
    // fails here fails again where the program uses the file, and is
    // logged there.
    void prepare() const;
};

// What the program knows about itself: where it lives, what its executable is
// called and which version it is. Windows receive one of these when they are
// made, so tests can run them against a temporary folder.
struct ProgramInfo
{
    QString folder; // the executable's folder, without a trailing separator
    QString exeName; // the executable's file name without extension
    int major = 0;
    int minor = 0;
    int revision = 0;
    QString copyright;
    QString webSite; // the maker's site, without a trailing "/"
    ProgramFiles files;

    // The running program, its files prepared (needs a QCoreApplication).
    static ProgramInfo current();
    // Why the running program cannot use its own folder (it cannot be found,
    // or its name cannot be held exactly, so that files meant for it would
    // land elsewhere), or, installed, has nowhere to keep the user's files;
    // "" when it can. Needs a QCoreApplication.
    static QString currentFolderProblem();
    // This version of the program, living in `folder` (for tests): portable.
    static ProgramInfo inFolder(const QString &folder);

    QString versionText() const; // "1.0.1"
    QString versionNumbers() const; // "101": the numbers run together
    QString settingsPath() const; // the Settings.ini in use
    QString programPage() const; // the program's page on the maker's site
    QString updateCheckAddress() const; // the folder that holds "version.txt"
};

} // namespace appcore
