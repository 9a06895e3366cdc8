#include "FileSteps.h"

#include "RuntimeError.h"

#include <QFile>

#include <cerrno>

namespace FileSteps {

void requireOpen(const QFileDevice &file)
{
    if (!file.isOpen())
        throw RuntimeError(ErrNum::BadFileNameOrNumber,
            RuntimeError::standardDescription(ErrNum::BadFileNameOrNumber) + QStringLiteral(": ") + file.fileName());
}

RuntimeError openError(const QFileDevice &file)
{
    RuntimeError error = RuntimeError::fromFile(file);
    // A file being created is "not found" only because a folder on its way is.
    if (error.number() == ErrNum::FileNotFound)
        return RuntimeError(ErrNum::PathNotFound,
            RuntimeError::standardDescription(ErrNum::PathNotFound) + QStringLiteral(": ") + file.fileName());
    return error;
}

void openForWriting(QFileDevice &file, QIODevice::OpenMode extra)
{
    errno = 0;
    if (!file.open(QIODevice::WriteOnly | extra))
        throw openError(file);
}

void writeAll(QFileDevice &file, const QByteArray &bytes)
{
    requireOpen(file);
    errno = 0;
    if (file.write(bytes) != bytes.size())
        throw RuntimeError::fromFile(file, ErrNum::DeviceIOError);
}

void close(QFile &file)
{
    requireOpen(file);
    errno = 0;
    file.close();
    if (file.error() != QFileDevice::NoError)
        throw RuntimeError::fromFile(file, ErrNum::DeviceIOError);
}

} // namespace FileSteps
