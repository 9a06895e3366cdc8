#pragma once

#include <QByteArray>
#include <QIODevice>

class QFile;
class QFileDevice;
class RuntimeError;

// The open / write / close steps of the builds and of template saving. Each
// throws a RuntimeError when it fails, so that the caller's ErrorTrap logs it
// and goes on; a write or close after a failed open fails too, as a script
// that was never created cannot be written or closed.
namespace FileSteps {

// The error a failed open for writing stands for (errno still holds the
// system's reason).
RuntimeError openError(const QFileDevice &file);
// Opens for writing, with extra flags such as Truncate, NewOnly or Unbuffered.
void openForWriting(QFileDevice &file, QIODevice::OpenMode extra = {});
// Writes every byte or throws.
void writeAll(QFileDevice &file, const QByteArray &bytes);
// Flushes and closes; a failure of either is reported. (A QSaveFile is
// finished with commit() instead.)
void close(QFile &file);
// Throws "Bad file name or number" unless the file is open.
void requireOpen(const QFileDevice &file);

} // namespace FileSteps
