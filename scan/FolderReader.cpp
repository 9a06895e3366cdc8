#include "FolderReader.h"

#include "SafeFile.h"

#include <QFile>

#include <cerrno>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace SafeFile = platform::SafeFile;

namespace scan {

namespace {

enum class Kind { Other, File, Folder };

struct EntryKind
{
    // With links followed: a link to a file is a file, a link to a folder a
    // folder; a broken link, a device, a pipe or a socket is neither.
    Kind kind = Kind::Other;
    bool link = false;
};

Kind kindOfMode(mode_t mode)
{
    if (S_ISREG(mode))
        return Kind::File;
    if (S_ISDIR(mode))
        return Kind::Folder;
    return Kind::Other;
}

Kind kindOfTarget(int dirFd, const char *name)
{
    struct stat st;
    return ::fstatat(dirFd, name, &st, 0) == 0 ? kindOfMode(st.st_mode) : Kind::Other;
}

EntryKind kindOf(int dirFd, const dirent *entry)
{
    switch (entry->d_type) {
    case DT_REG: return { Kind::File, false };
    case DT_DIR: return { Kind::Folder, false };
    case DT_LNK: return { kindOfTarget(dirFd, entry->d_name), true };
    case DT_UNKNOWN: {
        struct stat st;
        if (::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            return {};
        if (S_ISLNK(st.st_mode))
            return { kindOfTarget(dirFd, entry->d_name), true };
        return { kindOfMode(st.st_mode), false };
    }
    default: return {};
    }
}

} // namespace

struct FolderReader::State
{
    int fd = -1;
    DIR *dir = nullptr;
};

bool FolderReader::namesIgnoreCase()
{
    return false;
}

FolderReader::FolderReader(const QString &path)
{
    if (path.isEmpty())
        return;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        return;
    }
    m_id = { std::uint64_t(st.st_dev), std::uint64_t(st.st_ino) };
    m_state = std::make_unique<State>(State { fd, nullptr });
}

FolderReader::~FolderReader()
{
    if (!m_state)
        return;
    if (m_state->dir)
        ::closedir(m_state->dir);
    else
        ::close(m_state->fd);
}

bool FolderReader::read(Listing &out)
{
    if (!m_state || m_state->dir)
        return false;
    m_state->dir = ::fdopendir(m_state->fd);
    if (!m_state->dir)
        return false;
    DIR *dir = m_state->dir;
    const int fd = ::dirfd(dir);
    QString decoded;
    for (;;) {
        errno = 0;
        const dirent *entry = ::readdir(dir);
        if (!entry) {
            out.error = errno;
            break;
        }
        const char *name = entry->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
            continue;
        // A file still being written, or what a killed build left: no
        // clip, no script, and no file that keeps the walk going below.
        if (name[0] == '.' && SafeFile::isTemporaryName(name))
            continue;
        const EntryKind kind = kindOf(fd, entry);
        if (kind.kind == Kind::Other && !kind.link)
            continue;
        if (!decodeExactly(name, decoded)) {
            // A link to nothing under such a name is no script of any
            // listed clip, since no listed clip has such a name.
            if (kind.kind == Kind::File)
                out.badFiles.append(QByteArray(name));
            else if (kind.kind == Kind::Folder)
                out.badFolders.append(QByteArray(name));
        } else {
            if (kind.kind == Kind::File)
                out.files.append(decoded);
            else if (kind.kind == Kind::Folder)
                out.folders.append(decoded);
            if (kind.link && kind.kind != Kind::File)
                out.otherLinks.append(decoded);
        }
    }
    return !(out.error != 0 && out.isEmpty());
}

} // namespace scan
