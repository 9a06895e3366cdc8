#pragma once

#include "SafeFile.h"

#include <QString>

#include <exception>

class QFileDevice;

// The run-time error numbers the program reports. They are the classic ones,
// so that a log written here reads like the logs users already know.
namespace ErrNum {
inline constexpr qint32 InvalidProcedureCall = 5;
inline constexpr qint32 Overflow = 6;
inline constexpr qint32 OutOfMemory = 7;
inline constexpr qint32 SubscriptOutOfRange = 9;
inline constexpr qint32 TypeMismatch = 13;
inline constexpr qint32 InternalError = 51;
inline constexpr qint32 BadFileNameOrNumber = 52;
inline constexpr qint32 FileNotFound = 53;
inline constexpr qint32 DeviceIOError = 57;
inline constexpr qint32 DiskFull = 61;
inline constexpr qint32 PermissionDenied = 70;
inline constexpr qint32 PathFileAccessError = 75;
inline constexpr qint32 PathNotFound = 76;
inline constexpr qint32 CantCreateObject = 429;
} // namespace ErrNum

// The one exception type a failing step throws: a signed 32-bit error number
// and its description, exactly what the error log records.
class RuntimeError : public std::exception
{
public:
    explicit RuntimeError(qint32 number);
    RuntimeError(qint32 number, QString description);

    qint32 number() const noexcept { return m_number; }
    const QString &description() const noexcept { return m_description; }
    const char *what() const noexcept override { return m_what.constData(); }

    // The usual description of a classic error number ("Type mismatch").
    static QString standardDescription(qint32 number);

    // Turns a failed QFile/QSaveFile operation into the error a user would
    // expect (file not found, permission denied, disk full, ...).
    static RuntimeError fromFile(const QFileDevice &file, qint32 fallback = ErrNum::PathFileAccessError);
    // The same for a failed operation that only left errno behind.
    static RuntimeError fromErrno(int err, const QString &path, qint32 fallback = ErrNum::PathFileAccessError);
    // The same for a refused or failed SafeFile operation on `path`: not a
    // regular file is 75, too large to read is 7, the rest as fromErrno. A
    // file being written is missing only because a folder on its way is, so
    // there "not found" is "path not found".
    enum class Access { Read, Write };
    static RuntimeError fromResult(const SafeFile::Result &result, const QString &path, Access access = Access::Read);
    // Throws fromResult unless the operation succeeded.
    static void check(const SafeFile::Result &result, const QString &path, Access access = Access::Read)
    {
        if (!result.ok())
            throw fromResult(result, path, access);
    }

private:
    qint32 m_number;
    QString m_description;
    QByteArray m_what;
};
