#include "SafeFile.h"

#include "TemporaryNames.h"

#include <QFile>

#include <atomic>
#include <cerrno>
#include <cstdio>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace SafeFile {

namespace {

QByteArray nativePath(const QString &path)
{
    return QFile::encodeName(path);
}

int openFile(const QByteArray &path, int flags, mode_t mode = 0666)
{
    int fd;
    do
        fd = ::open(path.constData(), flags | O_CLOEXEC | O_NOCTTY, mode);
    while (fd < 0 && errno == EINTR);
    return fd;
}

// 0, or the errno of the write that stopped short (ENOSPC, EFBIG, EIO, ...).
int writeAll(int fd, const QByteArray &bytes)
{
    const char *data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, size_t(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            return EIO;
        data += n;
        left -= n;
    }
    return 0;
}

// The part of `path` up to and including its last "/" ("" for a bare name).
QByteArray folderPart(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QByteArray() : path.left(slash + 1);
}

// A name in `folder` (ending in "/", or "") for a file being written.
QByteArray temporaryName(const QByteArray &folder)
{
    return folder + newTemporaryName();
}

bool sameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Non-blocking exclusive lock; 0 or errno.
int tryLock(int fd)
{
    int rc;
    do
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    while (rc != 0 && errno == EINTR);
    return rc == 0 ? 0 : errno;
}

// The writer holds its temporary file locked for as long as it has it, so
// that a build cleaning up after a killed writer never takes a file still
// being written. False when a cleaner holds the lock or has already removed
// the file; the writer then takes another name. (Where the file system has
// no locks, files are written unlocked.)
bool lockAsWriter(int fd, struct stat &st)
{
    if (tryLock(fd) == EWOULDBLOCK)
        return false;
    return ::fstat(fd, &st) == 0 && st.st_nlink > 0;
}

// Gives the open file `fd`, which has no name, the name `path`; never over
// anything that stands there (EEXIST). Directly where the system allows it
// (older ones ask for a privilege), else through /proc.
int nameAnonymous(int fd, const QByteArray &path)
{
    static std::atomic<bool> direct { true };
    if (direct.load(std::memory_order_relaxed)) {
        if (::linkat(fd, "", AT_FDCWD, path.constData(), AT_EMPTY_PATH) == 0)
            return 0;
        if (errno != ENOENT && errno != EPERM)
            return errno;
    }
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
    const int err
        = ::linkat(AT_FDCWD, self.constData(), AT_FDCWD, path.constData(), AT_SYMLINK_FOLLOW) == 0 ? 0 : errno;
    // ENOENT here too: a folder on the way is missing, not the privilege.
    if (err != ENOENT)
        direct.store(false, std::memory_order_relaxed);
    return err;
}

// The rename cannot be told to spare an existing file here.
bool cannotRefuseExisting(int err)
{
    return err == EINVAL || err == ENOSYS || err == ENOTSUP || err == EOPNOTSUPP;
}

// Gives the file `temp` the name `path` unless something stands there
// (EEXIST). The rename refuses an existing name where the file system can;
// elsewhere a second name does the same, and on a file system with neither
// (FAT) the name is looked at just before the rename.
int renameNoReplace(const QByteArray &temp, const QByteArray &path)
{
    if (::renameat2(AT_FDCWD, temp.constData(), AT_FDCWD, path.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (!cannotRefuseExisting(errno))
        return errno;
    if (::link(temp.constData(), path.constData()) == 0) {
        ::unlink(temp.constData());
        return 0;
    }
    if (errno != EPERM && errno != EMLINK && !cannotRefuseExisting(errno))
        return errno;
    struct stat st;
    if (::lstat(path.constData(), &st) == 0)
        return EEXIST;
    if (errno != ENOENT)
        return errno;
    return ::rename(temp.constData(), path.constData()) == 0 ? 0 : errno;
}

// Writes `bytes` over the existing regular file `seen` at `path`, in place:
// for a folder that refuses a file beside it. EAGAIN when another file has
// taken its place meanwhile.
Result overwriteInPlace(const QByteArray &path, const QByteArray &bytes, Durability durability, const struct stat &seen)
{
    FileDescriptor fd(openFile(path, O_WRONLY | O_NOFOLLOW | O_NONBLOCK));
    if (!fd.isOpen())
        return Result::fromErrno(errno);
    struct stat st;
    if (::fstat(fd.get(), &st) != 0)
        return Result::fromErrno(errno);
    if (!S_ISREG(st.st_mode) || !sameFile(st, seen))
        return Result::fromErrno(EAGAIN);
    int err = ::ftruncate(fd.get(), 0) == 0 ? writeAll(fd.get(), bytes) : errno;
    if (err == 0 && durability == Durability::Synced && ::fdatasync(fd.get()) != 0)
        err = errno;
    const int closeErr = fd.close();
    return Result::fromErrno(err != 0 ? err : closeErr);
}

} // namespace

bool meansDiskFull(int err)
{
    return err == ENOSPC || err == EDQUOT || err == EFBIG;
}

Entry entryAt(const QString &path)
{
    struct stat st;
    if (path.isEmpty() || ::lstat(nativePath(path).constData(), &st) != 0)
        return Entry::Missing;
    if (S_ISREG(st.st_mode))
        return Entry::File;
    if (S_ISLNK(st.st_mode))
        return Entry::Link;
    if (S_ISDIR(st.st_mode))
        return Entry::Folder;
    return Entry::Other;
}

Result readFile(const QString &path, QByteArray &bytes, qint64 maxBytes)
{
    const QByteArray native = nativePath(path);
    struct stat st;
    // Looked at before it is opened: opening some devices already acts.
    if (::stat(native.constData(), &st) != 0)
        return Result::fromErrno(errno);
    if (!S_ISREG(st.st_mode))
        return { Result::NotRegularFile };
    FileDescriptor fd(openFile(native, O_RDONLY | O_NONBLOCK));
    if (!fd.isOpen())
        return Result::fromErrno(errno);
    // Whatever stands there now is what counts.
    if (::fstat(fd.get(), &st) != 0)
        return Result::fromErrno(errno);
    if (!S_ISREG(st.st_mode))
        return { Result::NotRegularFile };
    if (st.st_size > maxBytes)
        return { Result::TooLarge };

    QByteArray data;
    data.reserve(qsizetype(st.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return Result::fromErrno(errno);
        }
        if (n == 0)
            break;
        // The file may grow while it is read.
        if (data.size() + n > maxBytes)
            return { Result::TooLarge };
        data.append(buffer, n);
    }
    bytes = std::move(data);
    return {};
}

Result prepareFile(const QString &path)
{
    const QByteArray native = nativePath(path);
    for (int attempt = 0; attempt < 3; ++attempt) {
        struct stat st;
        if (::lstat(native.constData(), &st) != 0) {
            if (errno != ENOENT)
                return Result::fromErrno(errno);
            FileDescriptor fd(openFile(native, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW));
            if (fd.isOpen())
                return Result::fromErrno(fd.close());
            if (errno == EEXIST)
                continue; // made meanwhile: look at it again
            return Result::fromErrno(errno);
        }
        if (S_ISLNK(st.st_mode))
            return {};
        if (!S_ISREG(st.st_mode))
            return { Result::NotRegularFile };
        const mode_t ownerReadWrite = S_IRUSR | S_IWUSR;
        if ((st.st_mode & ownerReadWrite) != ownerReadWrite
            && ::chmod(native.constData(), (st.st_mode & 07777) | ownerReadWrite) != 0)
            return Result::fromErrno(errno);
        return {};
    }
    return Result::fromErrno(EEXIST);
}

int removeStaleTemporaries(const QString &folder)
{
    const int dirFd = openFile(folder.isEmpty() ? QByteArray(".") : nativePath(folder), O_RDONLY | O_DIRECTORY);
    if (dirFd < 0)
        return 0;
    DIR *dir = ::fdopendir(dirFd);
    if (!dir) {
        ::close(dirFd);
        return 0;
    }
    QList<QByteArray> names;
    while (const dirent *entry = ::readdir(dir)) {
        if (isTemporaryName(QByteArrayView(entry->d_name)))
            names.append(QByteArray(entry->d_name));
    }
    int removed = 0;
    for (const QByteArray &name : std::as_const(names)) {
        // Looked at before it is opened (only a regular file is), and opened
        // for reading or, should its owner have taken that right, writing:
        // either holds the lock.
        struct stat seen, st;
        if (::fstatat(dirFd, name.constData(), &seen, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(seen.st_mode))
            continue;
        const int flags = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
        FileDescriptor fd(::openat(dirFd, name.constData(), O_RDONLY | flags));
        if (!fd.isOpen())
            fd.reset(::openat(dirFd, name.constData(), O_WRONLY | flags));
        if (!fd.isOpen() || ::fstat(fd.get(), &st) != 0 || !sameFile(st, seen) || tryLock(fd.get()) != 0)
            continue;
        // Locked: no writer has it. Removed only if the name still stands for it.
        if (::fstatat(dirFd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 && sameFile(st, seen)
            && ::unlinkat(dirFd, name.constData(), 0) == 0)
            ++removed;
    }
    ::closedir(dir);
    return removed;
}

Result PendingFile::create(const QString &folder)
{
    QByteArray native = nativePath(folder);
    if (!native.isEmpty() && !native.endsWith('/'))
        native += '/';
    return open(native, 0666, Naming::Anonymous);
}

Result PendingFile::open(const QByteArray &nativeFolder, int mode, Naming naming)
{
    discard();
    m_finished = false;
    // A file without a name can only be named through /proc.
    static const bool canName = ::access("/proc/self/fd", X_OK) == 0;
    if (naming == Naming::Anonymous && canName) {
        const int fd
            = openFile(nativeFolder.isEmpty() ? QByteArray(".") : nativeFolder, O_WRONLY | O_TMPFILE, mode_t(mode));
        if (fd >= 0) {
            m_fd.reset(fd);
            return {};
        }
        // Not on this file system (or this kernel): a hidden name, then.
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            return Result::fromErrno(errno);
    }
    for (int attempt = 0; attempt < 16; ++attempt) {
        const QByteArray name = temporaryName(nativeFolder);
        const int fd = openFile(name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, mode_t(mode));
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return Result::fromErrno(errno);
        }
        m_fd.reset(fd);
        if (lockAsWriter(fd, m_named)) {
            m_path = name;
            return {};
        }
        m_fd.close();
    }
    return Result::fromErrno(EEXIST);
}

Result PendingFile::append(const QByteArray &bytes)
{
    if (!isOpen())
        return Result::fromErrno(EBADF);
    return Result::fromErrno(writeAll(m_fd.get(), bytes));
}

Result PendingFile::finish(Durability durability)
{
    if (!isOpen())
        return Result::fromErrno(EBADF);
    if (!m_finished && durability == Durability::Synced && ::fdatasync(m_fd.get()) != 0)
        return Result::fromErrno(errno);
    m_finished = true;
    return {};
}

Result PendingFile::publish(const QString &path, Durability durability)
{
    if (const Result finished = finish(durability); !finished.ok())
        return finished;
    const QByteArray native = nativePath(path);
    if (const int err = m_path.isEmpty() ? nameAnonymous(m_fd.get(), native) : renameNoReplace(m_path, native))
        return Result::fromErrno(err);
    return closeAfterPublishing(native);
}

Result PendingFile::closeAfterPublishing(const QByteArray &path)
{
    const bool named = !m_path.isEmpty();
    m_path.clear();
    const int err = m_fd.close();
    // A write that failed late shows only now (on a network file system,
    // where files have names): the file under its name may be incomplete,
    // and is taken back.
    struct stat there;
    if (err != 0 && named && ::lstat(path.constData(), &there) == 0 && sameFile(m_named, there))
        ::unlink(path.constData());
    return Result::fromErrno(err);
}

void PendingFile::discard()
{
    if (!isOpen())
        return;
    // Removed while still locked, so that no cleaner meets it half gone. (A
    // file without a name goes with its descriptor.)
    if (!m_path.isEmpty())
        ::unlink(m_path.constData());
    m_path.clear();
    m_fd.close();
}

Result PendingFile::swapInto(const QByteArray &path, const QByteArray &bytes, Durability durability, int keepMode)
{
    // Only a name can be renamed over another.
    Result result = open(folderPart(path), keepMode >= 0 ? 0600 : 0666, Naming::Named);
    if (result.ok() && keepMode >= 0 && ::fchmod(m_fd.get(), mode_t(keepMode)) != 0)
        result = Result::fromErrno(errno);
    if (result.ok())
        result = append(bytes);
    if (result.ok())
        result = finish(durability);
    if (result.ok() && ::rename(m_path.constData(), path.constData()) != 0)
        result = Result::fromErrno(errno);
    if (!result.ok()) {
        discard();
        return result;
    }
    return closeAfterPublishing(path);
}

Result createFile(const QString &path, const QByteArray &bytes, Durability durability)
{
    const QByteArray native = nativePath(path);
    if (native.isEmpty())
        return Result::fromErrno(ENOENT);
    PendingFile file;
    if (const Result opened = file.open(folderPart(native), 0666, PendingFile::Naming::Anonymous); !opened.ok())
        return opened;
    if (const Result written = file.append(bytes); !written.ok())
        return written;
    return file.publish(path, durability);
}

Result replaceFile(const QString &path, const QByteArray &bytes, Durability durability)
{
    const QByteArray native = nativePath(path);
    if (native.isEmpty())
        return Result::fromErrno(ENOENT);
    for (int attempt = 0; attempt < 3; ++attempt) {
        struct stat st;
        if (::lstat(native.constData(), &st) != 0) {
            if (errno != ENOENT)
                return Result::fromErrno(errno);
            const Result created = createFile(path, bytes, durability);
            if (created.failure == Result::System && created.error == EEXIST)
                continue; // made meanwhile: replace it instead
            return created;
        }
        if (S_ISLNK(st.st_mode))
            return PendingFile().swapInto(native, bytes, durability, -1);
        if (!S_ISREG(st.st_mode))
            return { Result::NotRegularFile };
        // A file its owner made read-only is not replaced behind their back.
        if (::faccessat(AT_FDCWD, native.constData(), W_OK, AT_EACCESS) != 0)
            return Result::fromErrno(errno);
        const Result swapped = PendingFile().swapInto(native, bytes, durability, int(st.st_mode & 07777));
        if (swapped.failure != Result::System || (swapped.error != EACCES && swapped.error != EPERM))
            return swapped;
        const Result inPlace = overwriteInPlace(native, bytes, durability, st);
        if (inPlace.failure == Result::System && inPlace.error == EAGAIN)
            continue; // replaced meanwhile: look again
        return inPlace;
    }
    return Result::fromErrno(EEXIST);
}

Result appendToFile(const QString &path, const QByteArray &bytes)
{
    FileDescriptor fd(openFile(nativePath(path), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK));
    if (!fd.isOpen())
        return Result::fromErrno(errno);
    struct stat st;
    if (::fstat(fd.get(), &st) != 0)
        return Result::fromErrno(errno);
    if (!S_ISREG(st.st_mode))
        return { Result::NotRegularFile };
    const int err = writeAll(fd.get(), bytes);
    const int closeErr = fd.close();
    return Result::fromErrno(err != 0 ? err : closeErr);
}

} // namespace SafeFile

} // namespace platform
