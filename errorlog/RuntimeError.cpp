#include "RuntimeError.h"

#include <QFileDevice>

#include <cerrno>
#include <cstring>

RuntimeError::RuntimeError(qint32 number)
    : RuntimeError(number, standardDescription(number))
{ }

RuntimeError::RuntimeError(qint32 number, QString description)
    : m_number(number)
    , m_description(std::move(description))
    , m_what(m_description.toLocal8Bit())
{ }

QString RuntimeError::standardDescription(qint32 number)
{
    switch (number) {
    case ErrNum::InvalidProcedureCall: return QStringLiteral("Invalid procedure call or argument");
    case ErrNum::Overflow: return QStringLiteral("Overflow");
    case ErrNum::OutOfMemory: return QStringLiteral("Out of memory");
    case ErrNum::SubscriptOutOfRange: return QStringLiteral("Subscript out of range");
    case ErrNum::TypeMismatch: return QStringLiteral("Type mismatch");
    case ErrNum::InternalError: return QStringLiteral("Internal error");
    case ErrNum::BadFileNameOrNumber: return QStringLiteral("Bad file name or number");
    case ErrNum::FileNotFound: return QStringLiteral("File not found");
    case ErrNum::DeviceIOError: return QStringLiteral("Device I/O error");
    case ErrNum::DiskFull: return QStringLiteral("Disk full");
    case ErrNum::PermissionDenied: return QStringLiteral("Permission denied");
    case ErrNum::PathFileAccessError: return QStringLiteral("Path/File access error");
    case ErrNum::PathNotFound: return QStringLiteral("Path not found");
    case ErrNum::CantCreateObject: return QStringLiteral("ActiveX component can't create object");
    default: return QStringLiteral("Application-defined or object-defined error");
    }
}

RuntimeError RuntimeError::fromErrno(int err, const QString &path, qint32 fallback)
{
    qint32 number = fallback;
    switch (err) {
    case ENOENT: number = ErrNum::FileNotFound; break;
    case ENOTDIR: number = ErrNum::PathNotFound; break;
    case EACCES:
    case EPERM:
    case EROFS: number = ErrNum::PermissionDenied; break;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: number = ErrNum::DiskFull; break;
    case EIO: number = ErrNum::DeviceIOError; break;
    case ENAMETOOLONG:
    case EINVAL: number = ErrNum::BadFileNameOrNumber; break;
    default: break;
    }
    QString description = standardDescription(number);
    if (!path.isEmpty())
        description += QStringLiteral(": ") + path;
    return RuntimeError(number, description);
}

RuntimeError RuntimeError::fromResult(const SafeFile::Result &result, const QString &path, Access access)
{
    switch (result.failure) {
    case SafeFile::Result::None:
    case SafeFile::Result::System: break;
    case SafeFile::Result::NotRegularFile:
        return RuntimeError(ErrNum::PathFileAccessError,
            standardDescription(ErrNum::PathFileAccessError) + QStringLiteral(": not a regular file: ") + path);
    case SafeFile::Result::TooLarge:
        return RuntimeError(ErrNum::OutOfMemory,
            standardDescription(ErrNum::OutOfMemory)
                + QStringLiteral(": larger than %1 MiB: ").arg(SafeFile::MaxTextBytes / (1024 * 1024)) + path);
    }
    if (access == Access::Write && result.error == ENOENT)
        return fromErrno(ENOTDIR, path);
    return fromErrno(result.error, path);
}

RuntimeError RuntimeError::fromFile(const QFileDevice &file, qint32 fallback)
{
    // QFileDevice keeps only a coarse category; errno still holds the
    // system's reason for the call that just failed.
    const int err = errno;
    if (err != 0)
        return fromErrno(err, file.fileName(), fallback);
    qint32 number = fallback;
    switch (file.error()) {
    case QFileDevice::PermissionsError: number = ErrNum::PermissionDenied; break;
    case QFileDevice::ResourceError: number = ErrNum::DiskFull; break;
    case QFileDevice::ReadError:
    case QFileDevice::WriteError: number = ErrNum::DeviceIOError; break;
    default: break;
    }
    return RuntimeError(number, standardDescription(number) + QStringLiteral(": ") + file.fileName());
}
