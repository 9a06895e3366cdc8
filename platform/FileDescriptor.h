#pragma once

#include <QByteArray>

#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

namespace platform {

// Owns a POSIX file descriptor. close() reports what the system says (a late
// write error shows there, e.g. on NFS); the destructor only tidies up.
class FileDescriptor
{
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd)
        : m_fd(fd)
    { }
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;

    int get() const { return m_fd; }
    bool isOpen() const { return m_fd >= 0; }
    // 0, or the errno of a failed close.
    int close()
    {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0 ? 0 : errno;
    }
    // Takes `fd` in place of what it held, which is closed.
    void reset(int fd)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd = -1;
};

// A path as the system's calls take it.
using NativePath = QByteArray;
// What tells one file from another, whatever its name.
using FileIdentity = struct stat;

} // namespace platform
