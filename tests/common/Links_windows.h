#pragma once

#include <QDir>
#include <QFileInfo>
#include <QString>

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include <windows.h>
#include <winioctl.h>

inline std::wstring wide(const QString &path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

// Whether `path` is a reparse point (a link or junction), not followed.
inline bool isReparsePoint(const QString &path)
{
    const DWORD attributes = GetFileAttributesW(wide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// A symbolic link at `link` to `target` (a folder one if `folder`), as an
// unprivileged user in developer mode makes it. False where the system
// refuses.
inline bool makeSymbolicLink(const QString &link, const QString &target, bool folder = false)
{
    DWORD flags = SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE;
    if (folder)
        flags |= SYMBOLIC_LINK_FLAG_DIRECTORY;
    const bool made = CreateSymbolicLinkW(wide(link).c_str(), wide(target).c_str(), flags)
        || CreateSymbolicLinkW(
            wide(link).c_str(), wide(target).c_str(), flags & ~DWORD(SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE));
    // Some systems say yes and make nothing.
    return made && isReparsePoint(link);
}

// A junction (a mount point, what "mklink /J" makes) at `link` to the folder
// `target`. False where the system refuses.
inline bool makeJunction(const QString &link, const QString &target)
{
    if (!CreateDirectoryW(wide(link).c_str(), nullptr))
        return false;
    const HANDLE handle = CreateFileW(wide(link).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    const std::wstring print = wide(QFileInfo(target).absoluteFilePath());
    const std::wstring substitute = L"\\??\\" + print;
    // The mount-point layout of REPARSE_DATA_BUFFER, which only the driver
    // kit's headers declare.
    struct Header
    {
        DWORD tag;
        WORD dataLength;
        WORD reserved;
        WORD substituteOffset, substituteLength, printOffset, printLength;
    };
    const std::size_t names = (substitute.size() + 1 + print.size() + 1) * sizeof(wchar_t);
    std::vector<char> buffer(sizeof(Header) + names);
    Header header = { IO_REPARSE_TAG_MOUNT_POINT, WORD(8 + names), 0, 0, WORD(substitute.size() * sizeof(wchar_t)),
        WORD((substitute.size() + 1) * sizeof(wchar_t)), WORD(print.size() * sizeof(wchar_t)) };
    std::memcpy(buffer.data(), &header, sizeof header);
    std::memcpy(buffer.data() + sizeof header, substitute.c_str(), (substitute.size() + 1) * sizeof(wchar_t));
    std::memcpy(buffer.data() + sizeof header + (substitute.size() + 1) * sizeof(wchar_t), print.c_str(),
        (print.size() + 1) * sizeof(wchar_t));
    DWORD returned = 0;
    const bool made = DeviceIoControl(
        handle, FSCTL_SET_REPARSE_POINT, buffer.data(), DWORD(buffer.size()), nullptr, 0, &returned, nullptr);
    CloseHandle(handle);
    if (!made)
        RemoveDirectoryW(wide(link).c_str());
    return made;
}
