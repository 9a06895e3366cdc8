#include "SafeFile.h"

#include "FileDescriptor.h"

#include <QFile>
#include <QRandomGenerator>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

// Writes, optionally syncs, and closes; 0 or the first errno.
int finish(FileDescriptor &fd, const QByteArray &bytes, Durability durability)
{
    int err = writeAll(fd.get(), bytes);
    if (err == 0 && durability == Durability::Synced && ::fdatasync(fd.get()) != 0)
        err = errno;
    const int closeErr = fd.close();
    return err != 0 ? err : closeErr;
}

Result createNew(const QByteArray &path, const QByteArray &bytes, Durability durability)
{
    FileDescriptor fd(openFile(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW));
    if (!fd.isOpen())
        return Result::fromErrno(errno);
    if (const int err = finish(fd, bytes, durability)) {
        // Nothing stood here before: a partial file would only mislead.
        ::unlink(path.constData());
        return Result::fromErrno(err);
    }
    return {};
}

// A name beside `path` for the new text: short, so that it fits wherever the
// final name fits, and hidden, should a crash ever leave it behind.
QByteArray siblingName(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray() : path.left(slash + 1);
    return folder + ".tovrane-" + QByteArray::number(QRandomGenerator::global()->generate(), 16) + ".tmp";
}

// Writes `bytes` beside `path` and renames the result over it. keepMode >= 0
// gives the permission bits of the file being replaced.
Result swapIn(const QByteArray &path, const QByteArray &bytes, Durability durability, int keepMode)
{
    QByteArray temp;
    int fdValue = -1;
    for (int attempt = 0; attempt < 16 && fdValue < 0; ++attempt) {
        temp = siblingName(path);
        // A new file's mode is 0666 less the umask, as for any file created
        // here; the mode of a replaced file is copied exactly below.
        fdValue = openFile(temp, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, keepMode >= 0 ? 0600 : 0666);
        if (fdValue < 0 && errno != EEXIST)
            return Result::fromErrno(errno);
    }
    if (fdValue < 0)
        return Result::fromErrno(EEXIST);
    FileDescriptor fd(fdValue);
    int err = 0;
    if (keepMode >= 0 && ::fchmod(fd.get(), mode_t(keepMode)) != 0)
        err = errno;
    if (err == 0)
        err = finish(fd, bytes, durability);
    if (err == 0 && ::rename(temp.constData(), path.constData()) != 0)
        err = errno;
    if (err != 0) {
        ::unlink(temp.constData());
        return Result::fromErrno(err);
    }
    return {};
}

} // namespace

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

bool fileOrLinkExists(const QString &path)
{
    const Entry entry = entryAt(path);
    return entry == Entry::File || entry == Entry::Link;
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
            const Result created = createNew(native, bytes, durability);
            if (created.failure == Result::System && created.error == EEXIST)
                continue; // made meanwhile: replace it instead
            return created;
        }
        if (S_ISLNK(st.st_mode))
            return swapIn(native, bytes, durability, -1);
        if (!S_ISREG(st.st_mode))
            return { Result::NotRegularFile };
        // A file its owner made read-only is not replaced behind their back.
        if (::faccessat(AT_FDCWD, native.constData(), W_OK, AT_EACCESS) != 0)
            return Result::fromErrno(errno);
        return swapIn(native, bytes, durability, int(st.st_mode & 07777));
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
