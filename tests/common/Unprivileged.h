#pragma once

#include <QFile>

#include <fcntl.h>
#include <unistd.h>

// While alive, file permissions bind the process as they bind a user: run as
// root, it takes the identity of "nobody" (the saved set-user-ID keeps the
// way back). Folders the code under test must reach have to be open to others.
class Unprivileged
{
public:
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

    // False when root could not give up its rights (no CAP_SETUID).
    bool ok() const { return m_ok; }

    // Whether the present identity may use `path` so (R_OK, W_OK, X_OK);
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
