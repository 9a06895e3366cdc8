#include "RuntimeError.h"

#include <cerrno>

namespace SafeFile = platform::SafeFile;

RuntimeError::RuntimeError(qint32 number)
    : RuntimeError(Failure::standard(number))
{ }

RuntimeError::RuntimeError(qint32 number, QString description)
    : RuntimeError(Failure { number, std::move(description) })
{ }

RuntimeError::RuntimeError(Failure failure)
    : m_failure(std::move(failure))
    , m_what(m_failure.description.toLocal8Bit())
{ }

QString Failure::standardDescription(qint32 number)
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

Failure Failure::standard(qint32 number, const QString &detail)
{
    QString description = standardDescription(number);
    if (!detail.isEmpty())
        description += QStringLiteral(": ") + detail;
    return { number, description };
}

Failure Failure::fromErrno(int err, const QString &path, qint32 fallback)
{
    qint32 number = fallback;
    if (SafeFile::meansDiskFull(err))
        return standard(ErrNum::DiskFull, path);
    switch (err) {
    case ENOENT: number = ErrNum::FileNotFound; break;
    case ENOTDIR: number = ErrNum::PathNotFound; break;
    case EACCES:
    case EPERM:
    case EROFS: number = ErrNum::PermissionDenied; break;
    case EIO: number = ErrNum::DeviceIOError; break;
    case ENAMETOOLONG:
    case EINVAL: number = ErrNum::BadFileNameOrNumber; break;
    default: break;
    }
    return standard(number, path);
}

Failure Failure::fromResult(const SafeFile::Result &result, const QString &path, Access access)
{
    switch (result.failure) {
    case SafeFile::Result::None:
    case SafeFile::Result::System: break;
    case SafeFile::Result::NotRegularFile:
        return standard(ErrNum::PathFileAccessError, QStringLiteral("not a regular file: ") + path);
    case SafeFile::Result::TooLarge:
        return standard(ErrNum::OutOfMemory,
            QStringLiteral("larger than %1 MiB: ").arg(SafeFile::MaxTextBytes / (1024 * 1024)) + path);
    }
    if (access == Access::Write && result.error == ENOENT)
        return fromErrno(ENOTDIR, path);
    return fromErrno(result.error, path);
}

Expected<void> expectDone(const SafeFile::Result &result, const QString &path, Failure::Access access)
{
    if (result.ok())
        return {};
    return Failure::fromResult(result, path, access);
}
