#pragma once

#include <QString>

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

    // The running program (needs a QCoreApplication).
    static ProgramInfo current();
    // Why the running program cannot use its own folder (it cannot be found,
    // or its name cannot be held exactly, so that files meant for it would
    // land elsewhere); "" when it can. Needs a QCoreApplication.
    static QString currentFolderProblem();
    // This version of the program, living in `folder` (for tests).
    static ProgramInfo inFolder(const QString &folder);

    QString versionText() const; // "1.0.1"
    QString versionNumbers() const; // "101": the numbers run together
    QString settingsPath() const; // folder + separator + "Settings.ini"
    QString pathInFolder(const QString &relative) const;
    QString programPage() const; // the program's page on the maker's site
    QString updateCheckAddress() const; // the folder that holds "version.txt"
};
