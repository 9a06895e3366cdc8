#include "SafeFile.h"

#include "SystemError_windows.h"
#include "TemporaryNames.h"

#include <QDir>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <vector>

#include <windows.h>

namespace platform {

namespace SafeFile {

namespace {

NativePath nativePath(const QString &path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

bool isSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

// The part of `path` up to and including its last separator ("" for a bare
// name).
NativePath folderPart(const NativePath &path)
{
    const auto last = std::find_if(path.rbegin(), path.rend(), isSeparator);
    return NativePath(path.begin(), last.base());
}

// Names that Windows takes for a device in every folder, with or without an
// extension ("NUL", "con.avs", "COM1.txt"): opening one acts on the device.
bool isDeviceName(const QString &path)
{
    const qsizetype cut = std::max({ path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')),
        path.lastIndexOf(QLatin1Char(':')) });
    QString base = path.mid(cut + 1).section(QLatin1Char('.'), 0, 0);
    while (base.endsWith(QLatin1Char(' ')))
        base.chop(1);
    base = base.toUpper();
    static const QStringList Fixed = { QStringLiteral("CON"), QStringLiteral("PRN"), QStringLiteral("AUX"),
        QStringLiteral("NUL"), QStringLiteral("CONIN$"), QStringLiteral("CONOUT$") };
    if (Fixed.contains(base))
        return true;
    // COM1-COM9 and LPT1-LPT9, and the superscript 1, 2 and 3 Windows also takes.
    static const QString Digits = QStringLiteral("123456789\u00b9\u00b2\u00b3");
    return base.size() == 4 && (base.startsWith(QLatin1String("COM")) || base.startsWith(QLatin1String("LPT")))
        && Digits.contains(base.at(3));
}

// Symbolic links and junctions, and a reparse point of a kind not known
// here; not the reparse points that stand for a file of their own (files
// kept in the cloud, deduplicated ones).
bool isLink(DWORD attributes, DWORD reparseTag)
{
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0
        && (reparseTag == 0 || IsReparseTagNameSurrogate(reparseTag));
}

struct Look
{
    DWORD attributes = INVALID_FILE_ATTRIBUTES;
    DWORD error = ERROR_SUCCESS;
    bool link = false;

    bool exists() const { return attributes != INVALID_FILE_ATTRIBUTES; }
};

// What stands at `path`, links not followed.
Look lookAt(const NativePath &path)
{
    Look look;
    look.attributes = GetFileAttributesW(path.c_str());
    if (!look.exists()) {
        look.error = GetLastError();
        return look;
    }
    if (look.attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        WIN32_FIND_DATAW data;
        const HANDLE find = FindFirstFileExW(path.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0);
        DWORD tag = 0;
        if (find != INVALID_HANDLE_VALUE) {
            tag = data.dwReserved0;
            FindClose(find);
        }
        look.link = isLink(look.attributes, tag);
    }
    return look;
}

bool alreadyExists(DWORD error)
{
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
}

Result lastError()
{
    return Result::fromErrno(lastErrno());
}

// A disk file, not a folder, pipe, console or other device.
bool isRegular(HANDLE handle, BY_HANDLE_FILE_INFORMATION &info)
{
    return GetFileType(handle) == FILE_TYPE_DISK && GetFileInformationByHandle(handle, &info)
        && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// 0, or the errno of the write that stopped short.
int writeAll(HANDLE handle, const QByteArray &bytes)
{
    const char *data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        DWORD written = 0;
        const DWORD chunk = DWORD(std::min<qsizetype>(left, 1 << 30));
        if (!WriteFile(handle, data, chunk, &written, nullptr))
            return lastErrno();
        if (written == 0)
            return EIO;
        data += written;
        left -= written;
    }
    return 0;
}

// Attributes a replaced file hands on to the file that takes its place.
constexpr DWORD KeptAttributes
    = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// Gives the open file its attributes (0 for a new file's). Times are left.
int setAttributes(HANDLE handle, DWORD attributes)
{
    FILE_BASIC_INFO basic = {};
    basic.FileAttributes = attributes != 0 ? attributes : FILE_ATTRIBUTE_ARCHIVE;
    return SetFileInformationByHandle(handle, FileBasicInfo, &basic, sizeof basic) ? 0 : lastErrno();
}

// Renames the open file `handle`, once at `from`, to `to`; over what stands
// there only if `replace`. Through the handle where the file system allows
// it, so that the writer holds the file up to the last moment.
int renameOpenFile(
    FileDescriptor &file, const NativePath &from, const NativePath &to, bool replace, Durability durability)
{
    const std::size_t nameBytes = to.size() * sizeof(wchar_t);
    std::vector<std::max_align_t> buffer(
        (offsetof(FILE_RENAME_INFO, FileName) + nameBytes + sizeof(wchar_t)) / sizeof(std::max_align_t) + 1);
    auto *info = reinterpret_cast<FILE_RENAME_INFO *>(buffer.data());
    info->ReplaceIfExists = replace ? TRUE : FALSE;
    info->RootDirectory = nullptr;
    info->FileNameLength = DWORD(nameBytes);
    std::memcpy(info->FileName, to.c_str(), nameBytes + sizeof(wchar_t));
    if (SetFileInformationByHandle(file.get(), FileRenameInfo, info, DWORD(buffer.size() * sizeof(std::max_align_t))))
        return 0;
    const DWORD error = GetLastError();
    if (error != ERROR_INVALID_PARAMETER && error != ERROR_NOT_SUPPORTED && error != ERROR_INVALID_FUNCTION)
        return errnoFromWindows(error);
    // A file system that renames only by name.
    if (const int closed = file.close())
        return closed;
    DWORD flags = replace ? MOVEFILE_REPLACE_EXISTING : 0;
    if (durability == Durability::Synced)
        flags |= MOVEFILE_WRITE_THROUGH;
    return MoveFileExW(from.c_str(), to.c_str(), flags) ? 0 : lastErrno();
}

} // namespace

// A quota exceeded is ENOSPC already.
bool meansDiskFull(int err)
{
    return err == ENOSPC || err == EFBIG;
}

Entry entryAt(const QString &path)
{
    if (path.isEmpty())
        return Entry::Missing;
    if (isDeviceName(path))
        return Entry::Other;
    const Look look = lookAt(nativePath(path));
    if (!look.exists())
        return Entry::Missing;
    if (look.link)
        return Entry::Link;
    if (look.attributes & FILE_ATTRIBUTE_DIRECTORY)
        return Entry::Folder;
    if (look.attributes & FILE_ATTRIBUTE_DEVICE)
        return Entry::Other;
    return Entry::File;
}

Result readFile(const QString &path, QByteArray &bytes, qint64 maxBytes)
{
    // Refused before it is opened: opening a device already acts.
    if (isDeviceName(path))
        return { Result::NotRegularFile };
    // A folder opens too, to be refused as what it is.
    FileDescriptor file(
        CreateFileW(nativePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file.isOpen())
        return lastError();
    BY_HANDLE_FILE_INFORMATION info;
    if (!isRegular(file.get(), info))
        return { Result::NotRegularFile };
    if ((qint64(info.nFileSizeHigh) << 32 | info.nFileSizeLow) > maxBytes)
        return { Result::TooLarge };

    QByteArray data;
    char buffer[65536];
    for (;;) {
        DWORD n = 0;
        if (!ReadFile(file.get(), buffer, sizeof buffer, &n, nullptr))
            return lastError();
        if (n == 0)
            break;
        // The file may grow while it is read.
        if (data.size() + qint64(n) > maxBytes)
            return { Result::TooLarge };
        data.append(buffer, qsizetype(n));
    }
    bytes = std::move(data);
    return {};
}

Result prepareFile(const QString &path)
{
    if (isDeviceName(path))
        return { Result::NotRegularFile };
    const NativePath native = nativePath(path);
    for (int attempt = 0; attempt < 3; ++attempt) {
        const Look look = lookAt(native);
        if (!look.exists()) {
            if (look.error != ERROR_FILE_NOT_FOUND)
                return Result::fromErrno(errnoFromWindows(look.error));
            FileDescriptor file(CreateFileW(native.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
            if (file.isOpen())
                return Result::fromErrno(file.close());
            if (alreadyExists(GetLastError()))
                continue; // made meanwhile: look at it again
            return lastError();
        }
        if (look.link)
            return {};
        if (look.attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE))
            return { Result::NotRegularFile };
        if ((look.attributes & FILE_ATTRIBUTE_READONLY) != 0) {
            DWORD writable = look.attributes & ~DWORD(FILE_ATTRIBUTE_READONLY);
            if (!SetFileAttributesW(native.c_str(), writable != 0 ? writable : FILE_ATTRIBUTE_NORMAL))
                return lastError();
        }
        return {};
    }
    return Result::fromErrno(EEXIST);
}

int removeStaleTemporaries(const QString &folder)
{
    NativePath native = folder.isEmpty() ? NativePath(L".") : nativePath(folder);
    if (!isSeparator(native.back()))
        native += L'\\';
    WIN32_FIND_DATAW data;
    const HANDLE find = FindFirstFileExW(
        (native + L'*').c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    std::vector<NativePath> names;
    do {
        constexpr DWORD NotAFile = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
        if ((data.dwFileAttributes & NotAFile) == 0
            && isTemporaryName(QString::fromWCharArray(data.cFileName).toUtf8()))
            names.push_back(native + data.cFileName);
    } while (FindNextFileW(find, &data));
    FindClose(find);

    int removed = 0;
    for (const NativePath &name : names) {
        // A writer holds its file open unshared until it is done with it:
        // only a file no one holds opens here.
        FileDescriptor file(CreateFileW(name.c_str(), DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, 0, nullptr,
            OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        BY_HANDLE_FILE_INFORMATION info;
        if (!file.isOpen() || !isRegular(file.get(), info) || (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            continue;
        // A read-only file cannot be removed as it is.
        if ((info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0
            && setAttributes(file.get(), info.dwFileAttributes & ~DWORD(FILE_ATTRIBUTE_READONLY)) != 0)
            continue;
        FILE_DISPOSITION_INFO remove = { TRUE };
        if (SetFileInformationByHandle(file.get(), FileDispositionInfo, &remove, sizeof remove))
            ++removed;
    }
    return removed;
}

Result PendingFile::create(const QString &folder)
{
    NativePath native = nativePath(folder);
    if (!native.empty() && !isSeparator(native.back()))
        native += L'\\';
    return open(native, 0, Naming::Named);
}

// Windows files always have a name: a hidden temporary one, held open
// unshared, so that no cleaner can take it from its writer. `mode` is unused:
// the attributes are given when the file is put in place.
Result PendingFile::open(const NativePath &nativeFolder, int, Naming)
{
    discard();
    m_finished = false;
    for (int attempt = 0; attempt < 16; ++attempt) {
        const NativePath name = nativeFolder + QString::fromLatin1(newTemporaryName()).toStdWString();
        m_fd.reset(CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
            FILE_ATTRIBUTE_HIDDEN, nullptr));
        if (!m_fd.isOpen()) {
            if (alreadyExists(GetLastError()))
                continue;
            return lastError();
        }
        BY_HANDLE_FILE_INFORMATION info;
        if (GetFileInformationByHandle(m_fd.get(), &info))
            m_named = { info.dwVolumeSerialNumber, quint64(info.nFileIndexHigh) << 32 | info.nFileIndexLow };
        m_path = name;
        return {};
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
    if (!m_finished && durability == Durability::Synced && !FlushFileBuffers(m_fd.get()))
        return lastError();
    m_finished = true;
    return {};
}

Result PendingFile::publish(const QString &path, Durability durability)
{
    if (const Result finished = finish(durability); !finished.ok())
        return finished;
    if (isDeviceName(path))
        return { Result::NotRegularFile };
    const NativePath native = nativePath(path);
    // Shown before it gets its name: a writer killed in between leaves a
    // temporary name, never a hidden file under the final one.
    if (const int err = setAttributes(m_fd.get(), 0))
        return Result::fromErrno(err);
    if (const int err = renameOpenFile(m_fd, m_path, native, false, durability)) {
        if (m_fd.isOpen()) {
            setAttributes(m_fd.get(), FILE_ATTRIBUTE_HIDDEN);
        } else {
            // Renamed by name, and so no longer held: not pending any more.
            DeleteFileW(m_path.c_str());
            m_path.clear();
        }
        return Result::fromErrno(err);
    }
    return closeAfterPublishing(native);
}

Result PendingFile::closeAfterPublishing(const NativePath &)
{
    m_path.clear();
    return Result::fromErrno(m_fd.close());
}

void PendingFile::discard()
{
    if (!isOpen())
        return;
    // Removed while still held, so that no cleaner meets it half gone.
    if (!m_path.empty()) {
        FILE_DISPOSITION_INFO remove = { TRUE };
        SetFileInformationByHandle(m_fd.get(), FileDispositionInfo, &remove, sizeof remove);
    }
    m_path.clear();
    m_fd.close();
}

Result PendingFile::swapInto(const NativePath &path, const QByteArray &bytes, Durability durability, int keepMode)
{
    Result result = open(folderPart(path), 0, Naming::Named);
    if (result.ok())
        result = append(bytes);
    if (result.ok())
        result = finish(durability);
    if (result.ok())
        result = Result::fromErrno(setAttributes(m_fd.get(), keepMode >= 0 ? DWORD(keepMode) : 0));
    if (result.ok())
        result = Result::fromErrno(renameOpenFile(m_fd, m_path, path, true, durability));
    if (!result.ok()) {
        if (!m_fd.isOpen() && !m_path.empty())
            DeleteFileW(m_path.c_str());
        discard();
        m_path.clear();
        return result;
    }
    return closeAfterPublishing(path);
}

Result createFile(const QString &path, const QByteArray &bytes, Durability durability)
{
    const NativePath native = nativePath(path);
    if (native.empty())
        return Result::fromErrno(ENOENT);
    if (isDeviceName(path))
        return { Result::NotRegularFile };
    PendingFile file;
    if (const Result opened = file.open(folderPart(native), 0, PendingFile::Naming::Named); !opened.ok())
        return opened;
    if (const Result written = file.append(bytes); !written.ok())
        return written;
    return file.publish(path, durability);
}

Result replaceFile(const QString &path, const QByteArray &bytes, Durability durability)
{
    const NativePath native = nativePath(path);
    if (native.empty())
        return Result::fromErrno(ENOENT);
    if (isDeviceName(path))
        return { Result::NotRegularFile };
    for (int attempt = 0; attempt < 3; ++attempt) {
        const Look look = lookAt(native);
        if (!look.exists()) {
            if (look.error != ERROR_FILE_NOT_FOUND)
                return Result::fromErrno(errnoFromWindows(look.error));
            const Result created = createFile(path, bytes, durability);
            if (created.failure == Result::System && created.error == EEXIST)
                continue; // made meanwhile: replace it instead
            return created;
        }
        if (look.link && (look.attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            // A file is never renamed over a folder, not even over a link to
            // one: the link goes first, once the file is complete.
            PendingFile file;
            Result result = file.open(folderPart(native), 0, PendingFile::Naming::Named);
            if (result.ok())
                result = file.append(bytes);
            if (result.ok() && !RemoveDirectoryW(native.c_str()))
                result = lastError();
            if (result.ok())
                result = file.publish(path, durability);
            if (result.failure == Result::System && result.error == EEXIST)
                continue; // something new stands there: look again
            return result;
        }
        if (look.link)
            return PendingFile().swapInto(native, bytes, durability, -1);
        if (look.attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE))
            return { Result::NotRegularFile };
        // A file its owner made read-only is not replaced behind their back.
        if (look.attributes & FILE_ATTRIBUTE_READONLY)
            return Result::fromErrno(EACCES);
        return PendingFile().swapInto(native, bytes, durability, int(look.attributes & KeptAttributes));
    }
    return Result::fromErrno(EEXIST);
}

Result appendToFile(const QString &path, const QByteArray &bytes)
{
    if (isDeviceName(path))
        return { Result::NotRegularFile };
    // The link itself is what opens, to be refused.
    FileDescriptor file(CreateFileW(nativePath(path).c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file.isOpen())
        return lastError();
    BY_HANDLE_FILE_INFORMATION info;
    if (!isRegular(file.get(), info))
        return { Result::NotRegularFile };
    if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return Result::fromErrno(ELOOP);
    const int err = writeAll(file.get(), bytes);
    const int closeErr = file.close();
    return Result::fromErrno(err != 0 ? err : closeErr);
}

} // namespace SafeFile

} // namespace platform
