#pragma once

#include "Failure.h"

#include <QString>

#include <exception>

namespace errorlog {

// The exception a failing step of a window's procedure throws, for its
// ErrorTrap to log: a Failure (signed 32-bit error number and description).
class RuntimeError : public std::exception
{
public:
    explicit RuntimeError(qint32 number);
    RuntimeError(qint32 number, QString description);
    explicit RuntimeError(Failure failure);

    qint32 number() const noexcept { return m_failure.number; }
    const QString &description() const noexcept { return m_failure.description; }
    const Failure &failure() const noexcept { return m_failure; }
    const char *what() const noexcept override { return m_what.constData(); }

    static QString standardDescription(qint32 number) { return Failure::standardDescription(number); }

    using Access = Failure::Access;
    // Throws the failure of a SafeFile operation on `path`, if it failed.
    static void check(const platform::SafeFile::Result &result, const QString &path, Access access = Access::Read)
    {
        if (!result.ok())
            throw RuntimeError(Failure::fromResult(result, path, access));
    }

private:
    Failure m_failure;
    QByteArray m_what;
};

} // namespace errorlog
