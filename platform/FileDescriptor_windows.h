#pragma once

#include <string>

namespace platform {

// Owns a Win32 file handle (held as void *, so that users of this header do
// not take in <windows.h> and its macros). close() reports what the system
// says, as an errno value; the destructor only tidies up.
class FileDescriptor
{
public:
    FileDescriptor() = default;
    explicit FileDescriptor(void *handle)
        : m_handle(handle)
    { }
    ~FileDescriptor() { reset(nullptr); }
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;

    void *get() const { return m_handle; }
    bool isOpen() const { return m_handle != nullptr; }
    // 0, or the errno of a failed close.
    int close();
    // Takes `handle` (nullptr or INVALID_HANDLE_VALUE for none) in place of
    // what it held, which is closed.
    void reset(void *handle);

private:
    void *m_handle = nullptr;
};

// A path as the system's wide calls take it, with "\" between its parts.
using NativePath = std::wstring;

// What tells one file from another, whatever its name.
struct FileIdentity
{
    unsigned long volume = 0;
    unsigned long long index = 0;
    bool operator==(const FileIdentity &) const = default;
};

} // namespace platform
