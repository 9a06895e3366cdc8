#pragma once

#include <QFile>
#include <QString>

#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>

// While alive, file permissions bind the process as they bind a user: run as
// root, it takes the identity of "nobody" (the saved set-user-ID keeps the
// way back) and returns to root when it goes. Folders the code under test
// must reach have to be open to others then.
class Unprivileged
{
public:
    Unprivileged()
    {
        if (::geteuid() != 0) {
            m_ok = true;
            return;
        }
        if (::setegid(Nobody) != 0)
            return;
        if (::seteuid(Nobody) != 0) {
            [[maybe_unused]] const int back = ::setegid(0);
            return;
        }
        m_ok = m_switched = true;
    }
    ~Unprivileged()
    {
        if (m_switched) {
            [[maybe_unused]] const int user = ::seteuid(0);
            [[maybe_unused]] const int group = ::setegid(0);
        }
    }
    Unprivileged(const Unprivileged &) = delete;
    Unprivileged &operator=(const Unprivileged &) = delete;

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
    bool m_ok = false;
    bool m_switched = false;
};
