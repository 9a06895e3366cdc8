#pragma once

#include <QString>

#include <optional>

namespace component {

// The dynamic loader maps a library's segments without comparing them with
// the file's length: a library cut short (an interrupted copy) maps without
// complaint and then kills the process with SIGBUS as soon as a page past the
// end is touched, inside dlopen itself. Reading the headers against the
// file's size first turns that into a load that fails.
//
// nullopt when path names a regular file (a link to one is followed) that is
// a complete shared object for this machine: an ELF header of this machine's
// class, byte order and machine for a shared object, the program header table
// and any section header table inside the file, and every loadable segment's
// bytes inside it. Otherwise what is wrong, as the rest of a sentence that
// begins with the file's name ("is truncated: ...", "is not an ELF file").
// The file is opened without blocking, so a FIFO or a device is refused
// without waiting on it. Where libraries are not ELF files it is always
// nullopt and the loader alone judges.
std::optional<QString> sharedObjectProblem(const QString &path);

} // namespace component
