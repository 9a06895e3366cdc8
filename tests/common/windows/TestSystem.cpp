#include "TestSystem.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <string>

#include <windows.h>

namespace {

std::wstring native(const QString &path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

} // namespace

bool setMode(const QString &path, FileMode bits)
{
    const std::wstring name = native(path);
    const DWORD old = ::GetFileAttributesW(name.c_str());
    if (old == INVALID_FILE_ATTRIBUTES)
        return false;
    DWORD attributes = old & ~DWORD(FILE_ATTRIBUTE_NORMAL);
    attributes = bits & 0200 ? attributes & ~DWORD(FILE_ATTRIBUTE_READONLY) : attributes | FILE_ATTRIBUTE_READONLY;
    return ::SetFileAttributesW(name.c_str(), attributes ? attributes : FILE_ATTRIBUTE_NORMAL) != 0;
}

bool makeLink(const QString &target, const QString &link)
{
    DWORD flags = SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE;
    if (QFileInfo(target).isDir())
        flags |= SYMBOLIC_LINK_FLAG_DIRECTORY;
    return ::CreateSymbolicLinkW(native(link).c_str(), native(target).c_str(), flags) != 0;
}

const char *linksMissing()
{
    static const bool made = [] {
        const QTemporaryDir scratch;
        return scratch.isValid()
            && makeLink(scratch.filePath(QStringLiteral("none")), scratch.filePath(QStringLiteral("link")));
    }();
    return made ? nullptr : "this user may not make symbolic links here";
}

HeldFile::HeldFile(const QString &path)
    : m_handle(::CreateFileW(native(path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr))
{ }

HeldFile::~HeldFile()
{
    if (ok())
        ::CloseHandle(m_handle);
}

bool HeldFile::ok() const
{
    return m_handle != INVALID_HANDLE_VALUE;
}
