#include "FolderReader.h"

#include "SafeFile.h"
#include "SystemError_windows.h"
#include "TextEncoding.h"

#include <QDir>

#include <string>

#include <windows.h>

namespace SafeFile = platform::SafeFile;

namespace scan {

namespace {

enum class Kind { Other, File, Folder };

// Symbolic links and junctions, and a reparse point of a kind not known
// here; not the reparse points that stand for a file of their own (files
// kept in the cloud, deduplicated ones).
bool isLink(const WIN32_FIND_DATAW &entry)
{
    return (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0
        && (entry.dwReserved0 == 0 || IsReparseTagNameSurrogate(entry.dwReserved0));
}

// What a link leads to, followed to the end; a broken one is Other.
Kind kindOfTarget(const std::wstring &path)
{
    const HANDLE handle
        = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return Kind::Other;
    BY_HANDLE_FILE_INFORMATION info;
    Kind kind = Kind::Other;
    if (GetFileType(handle) == FILE_TYPE_DISK && GetFileInformationByHandle(handle, &info))
        kind = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? Kind::Folder : Kind::File;
    CloseHandle(handle);
    return kind;
}

bool isDotOrDotDot(const wchar_t *name)
{
    return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

// Scripts are written in the ANSI code page: a name it cannot hold would
// come out of %CLIP% or %PATH% with "?" in it, naming a file that does not
// exist.
bool ansiHolds(const wchar_t *name, const QString &decoded)
{
    for (const wchar_t *c = name; *c != L'\0'; ++c) {
        if (*c >= 0x80)
            return platform::canEncodeText(decoded, platform::TextFormat::Encoding::Local);
    }
    return true;
}

} // namespace

// The folder is held open while it is read, so that it is the folder the
// identity was taken of.
struct FolderReader::State
{
    HANDLE folder = INVALID_HANDLE_VALUE;
    std::wstring path; // ends in "\"
    bool read = false;
};

bool FolderReader::namesIgnoreCase()
{
    return true;
}

FolderReader::FolderReader(const QString &path)
{
    if (path.isEmpty())
        return;
    std::wstring native = QDir::toNativeSeparators(path).toStdWString();
    const HANDLE folder
        = CreateFileW(native.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (folder == INVALID_HANDLE_VALUE)
        return;
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(folder, &info) || !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        CloseHandle(folder);
        return;
    }
    m_id = { info.dwVolumeSerialNumber, std::uint64_t(info.nFileIndexHigh) << 32 | info.nFileIndexLow };
    if (native.back() != L'\\')
        native += L'\\';
    m_state = std::make_unique<State>(State { folder, std::move(native), false });
}

FolderReader::~FolderReader()
{
    if (m_state)
        CloseHandle(m_state->folder);
}

bool FolderReader::read(Listing &out)
{
    if (!m_state || m_state->read)
        return false;
    m_state->read = true;
    WIN32_FIND_DATAW entry;
    const HANDLE find = FindFirstFileExW((m_state->path + L'*').c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch,
        nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) {
        out.error = platform::lastErrno();
        return out.error == 0 || GetLastError() == ERROR_FILE_NOT_FOUND;
    }
    do {
        const wchar_t *name = entry.cFileName;
        if (isDotOrDotDot(name))
            continue;
        const QString decoded = QString::fromWCharArray(name);
        // A file still being written, or what a killed build left: no
        // clip, no script, and no file that keeps the walk going below.
        if (name[0] == L'.' && SafeFile::isTemporaryName(decoded.toUtf8()))
            continue;
        const bool link = isLink(entry);
        Kind kind;
        if (link)
            kind = kindOfTarget(m_state->path + name);
        else if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            kind = Kind::Folder;
        else if (entry.dwFileAttributes & FILE_ATTRIBUTE_DEVICE)
            kind = Kind::Other;
        else
            kind = Kind::File;
        if (!ansiHolds(name, decoded)) {
            // A link to nothing under such a name is no script of any
            // listed clip, since no listed clip has such a name.
            if (kind == Kind::File)
                out.badFiles.append(decoded.toUtf8());
            else if (kind == Kind::Folder)
                out.badFolders.append(decoded.toUtf8());
            continue;
        }
        if (kind == Kind::File)
            out.files.append(decoded);
        else if (kind == Kind::Folder)
            out.folders.append(decoded);
        if (link && kind != Kind::File)
            out.otherLinks.append(decoded);
    } while (FindNextFileW(find, &entry));
    const DWORD stopped = GetLastError();
    FindClose(find);
    if (stopped != ERROR_NO_MORE_FILES)
        out.error = platform::errnoFromWindows(stopped);
    return !(out.error != 0 && out.isEmpty());
}

} // namespace scan
