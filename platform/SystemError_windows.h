#pragma once

namespace platform {

// The errno value that the POSIX calls give for the same failure as the Win32
// error `code` (GetLastError()), so that what reports and logs failures reads
// them alike on both systems. An error with no counterpart is EIO.
int errnoFromWindows(unsigned long code);

// errnoFromWindows(GetLastError()).
int lastErrno();

} // namespace platform
