#include "SystemError_windows.h"

#include <cerrno>

#include <windows.h>

namespace platform {

namespace {

// Not in every SDK's headers.
constexpr DWORD DiskQuotaExceeded = 1295;

} // namespace

int errnoFromWindows(unsigned long code)
{
    struct Pair
    {
        DWORD win32;
        int posix;
    };
    static constexpr Pair Table[] = {
        { ERROR_SUCCESS, 0 },
        { ERROR_FILE_NOT_FOUND, ENOENT },
        { ERROR_PATH_NOT_FOUND, ENOENT },
        { ERROR_INVALID_DRIVE, ENOENT },
        { ERROR_BAD_NETPATH, ENOENT },
        { ERROR_BAD_NET_NAME, ENOENT },
        { ERROR_DIRECTORY, ENOTDIR },
        { ERROR_TOO_MANY_OPEN_FILES, EMFILE },
        { ERROR_ACCESS_DENIED, EACCES },
        { ERROR_SHARING_VIOLATION, EACCES },
        { ERROR_LOCK_VIOLATION, EACCES },
        { ERROR_WRITE_PROTECT, EROFS },
        { ERROR_INVALID_HANDLE, EBADF },
        { ERROR_NOT_ENOUGH_MEMORY, ENOMEM },
        { ERROR_OUTOFMEMORY, ENOMEM },
        { ERROR_INVALID_NAME, ENOENT },
        { ERROR_BAD_PATHNAME, ENOENT },
        { ERROR_FILENAME_EXCED_RANGE, ENAMETOOLONG },
        { ERROR_BUFFER_OVERFLOW, ENAMETOOLONG },
        { ERROR_FILE_EXISTS, EEXIST },
        { ERROR_ALREADY_EXISTS, EEXIST },
        { ERROR_DIR_NOT_EMPTY, ENOTEMPTY },
        { ERROR_NOT_SAME_DEVICE, EXDEV },
        { ERROR_DISK_FULL, ENOSPC },
        { ERROR_HANDLE_DISK_FULL, ENOSPC },
        // No user quota of its own on Windows: a full disk, as far as the
        // user can tell.
        { DiskQuotaExceeded, ENOSPC },
        { ERROR_NOT_READY, EIO },
        { ERROR_CRC, EIO },
        { ERROR_READ_FAULT, EIO },
        { ERROR_WRITE_FAULT, EIO },
        { ERROR_GEN_FAILURE, EIO },
        { ERROR_NOT_SUPPORTED, ENOTSUP },
        { ERROR_INVALID_FUNCTION, ENOSYS },
        { ERROR_CALL_NOT_IMPLEMENTED, ENOSYS },
        { ERROR_INVALID_PARAMETER, EINVAL },
        { ERROR_NEGATIVE_SEEK, EINVAL },
        { ERROR_CANT_RESOLVE_FILENAME, ELOOP },
        { ERROR_BROKEN_PIPE, EPIPE },
        { ERROR_NO_DATA, EPIPE },
        { ERROR_PIPE_BUSY, EAGAIN },
        { ERROR_NO_MORE_FILES, 0 },
    };
    for (const Pair &pair : Table) {
        if (pair.win32 == code)
            return pair.posix;
    }
    return EIO;
}

int lastErrno()
{
    return errnoFromWindows(GetLastError());
}

} // namespace platform
