#include "FileDescriptor_windows.h"

#include "SystemError_windows.h"

#include <windows.h>

namespace platform {

int FileDescriptor::close()
{
    HANDLE handle = m_handle;
    m_handle = nullptr;
    return handle == nullptr || CloseHandle(handle) ? 0 : lastErrno();
}

void FileDescriptor::reset(void *handle)
{
    if (m_handle != nullptr)
        CloseHandle(m_handle);
    m_handle = handle == INVALID_HANDLE_VALUE ? nullptr : handle;
}

} // namespace platform
