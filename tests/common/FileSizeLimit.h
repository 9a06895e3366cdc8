#pragma once

#include <QtGlobal>

#include <csignal>

#include <sys/resource.h>

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

    bool ok() const { return m_ok; }

private:
    rlimit m_old {};
    const bool m_saved;
    void (*const m_oldHandler)(int);
    bool m_ok = false;
};
