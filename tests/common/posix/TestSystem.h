#pragma once

// What the tests ask of the system beyond Qt: FIFOs, links, permission bits,
// another user, a file size limit, a file another writer holds. The build
// picks this header or its Windows counterpart, which has the same names;
// each `...Missing()` is null where the system has the thing, else says why
// not, and SKIP_IF_MISSING skips the test with that reason.

#include <QFile>
#include <QString>
#include <QtGlobal>

#include <csignal>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#define SKIP_IF_MISSING(missing)                                                                                       \
    do {                                                                                                               \
        if (const char *why = (missing))                                                                               \
            QSKIP(why);                                                                                                \
    } while (false)

using FileMode = mode_t;

// Sets the permission bits of `path`, as chmod does.
inline bool setMode(const QString &path, FileMode bits)
{
    return ::chmod(QFile::encodeName(path).constData(), bits) == 0;
}

inline const char *fifosMissing()
{
    return nullptr;
}
inline bool makeFifo(const QString &path, FileMode bits = 0600)
{
    return ::mkfifo(QFile::encodeName(path).constData(), bits) == 0;
}

inline const char *linksMissing()
{
    return nullptr;
}
// A symbolic link at `link` to `target`, which need not exist.
inline bool makeLink(const QString &target, const QString &link)
{
    return QFile::link(target, link);
}

// Null when this process cannot read a folder without read permission.
inline const char *unreadableFoldersMissing()
{
    return ::geteuid() == 0 ? "as root every folder is readable" : nullptr;
}

// While alive, file permissions bind the process as they bind a user: run as
// root, it takes the identity of "nobody" (the saved set-user-ID keeps the
// way back). Folders the code under test must reach have to be open to others.
class Unprivileged
{
public:
    enum Access { MayRead = R_OK, MayWrite = W_OK, MayEnter = X_OK };

    Unprivileged()
        : m_root(::geteuid() == 0)
        , m_ok(!m_root || (::setegid(Nobody) == 0 && ::seteuid(Nobody) == 0))
    { }
    ~Unprivileged()
    {
        // Harmless for whichever of the two did not change.
        if (m_root && (::seteuid(0) != 0 || ::setegid(0) != 0))
            qFatal("could not return to root");
    }
    Q_DISABLE_COPY(Unprivileged)

    static const char *missing() { return nullptr; }

    // False when root could not give up its rights (no CAP_SETUID).
    bool ok() const { return m_ok; }

    // Whether the present identity may use `path` so (Access values or'ed);
    // unlike QFileInfo, which asks for the real user, not the effective one.
    static bool mayAccess(const QString &path, int mode)
    {
        return ::faccessat(AT_FDCWD, QFile::encodeName(path).constData(), mode, AT_EACCESS) == 0;
    }

private:
    static constexpr uid_t Nobody = 65534;
    const bool m_root;
    const bool m_ok;
};

// While alive, no file may grow beyond `bytes`: a write past the limit fails
// part-way, as on a full disk, and does so for root too. SIGXFSZ is ignored
// meanwhile, so the write fails instead of ending the process.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
        : m_saved(::getrlimit(RLIMIT_FSIZE, &m_old) == 0)
        , m_oldHandler(std::signal(SIGXFSZ, SIG_IGN))
    {
        const rlimit limited { bytes, m_old.rlim_max };
        m_ok = m_saved && ::setrlimit(RLIMIT_FSIZE, &limited) == 0;
    }
    ~FileSizeLimit()
    {
        if (m_saved)
            ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    Q_DISABLE_COPY(FileSizeLimit)

    static const char *missing() { return nullptr; }
    bool ok() const { return m_ok; }

private:
    rlimit m_old {};
    const bool m_saved;
    void (*const m_oldHandler)(int);
    bool m_ok = false;
};

// An existing file held as a writer still at work holds it: open, with an
// exclusive lock that others can test for.
class HeldFile
{
public:
    explicit HeldFile(const QString &path)
        : m_file(path)
    {
        m_ok = m_file.open(QIODevice::ReadOnly) && ::flock(m_file.handle(), LOCK_EX | LOCK_NB) == 0;
    }
    Q_DISABLE_COPY(HeldFile)

    bool ok() const { return m_ok; }

private:
    QFile m_file;
    bool m_ok = false;
};
