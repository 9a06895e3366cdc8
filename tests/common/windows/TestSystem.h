#pragma once

// What the tests ask of the system beyond Qt, done the Windows way, with the
// names its POSIX counterpart has. Each `...Missing()` is null where Windows
// (or Wine, which the tests run under here) has the thing, else says why
// not, and SKIP_IF_MISSING skips the test with that reason.

#include <QString>
#include <QtGlobal>

#define SKIP_IF_MISSING(missing)                                                                                       \
    do {                                                                                                               \
        if (const char *why = (missing))                                                                               \
            QSKIP(why);                                                                                                \
    } while (false)

using FileMode = unsigned;

// Of the permission bits, Windows keeps only whether the owner may write:
// without that bit the file or folder gets the read-only attribute.
bool setMode(const QString &path, FileMode bits);

inline const char *fifosMissing()
{
    return "Windows has no FIFOs: its named pipes live outside the file system";
}
inline bool makeFifo(const QString &, FileMode = 0600)
{
    return false;
}

// Symbolic links need a privilege or developer mode on Windows; tried once.
const char *linksMissing();
// A symbolic link at `link` to `target`, which need not exist; a folder's
// link is made as one, as Windows wants.
bool makeLink(const QString &target, const QString &link);

inline const char *unreadableFoldersMissing()
{
    return "Windows keeps no read permission in a folder's attributes, and Wine checks no access lists";
}

// Windows has no user to switch to within a process, and Wine checks no
// access lists: this reports that it cannot.
class Unprivileged
{
public:
    enum Access { MayRead = 4, MayWrite = 2, MayEnter = 1 };

    Unprivileged() = default;
    Q_DISABLE_COPY(Unprivileged)

    static const char *missing() { return "no other user to act as within a Windows process"; }
    bool ok() const { return false; }
    static bool mayAccess(const QString &, int) { return true; }
};

// Windows has no limit on the size of the files a process writes.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(qint64) { }
    Q_DISABLE_COPY(FileSizeLimit)

    static const char *missing() { return "Windows has no per-process file size limit"; }
    bool ok() const { return false; }
};

// An existing file held as a writer still at work holds it: open for
// writing, shared for reading only, so nobody else may write, rename or
// delete it while it is held.
class HeldFile
{
public:
    explicit HeldFile(const QString &path);
    ~HeldFile();
    Q_DISABLE_COPY(HeldFile)

    bool ok() const;

private:
    void *const m_handle;
};
