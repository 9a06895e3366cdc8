#pragma once

#include "SafeFile.h"

#include <QString>

#include <functional>
#include <optional>
#include <type_traits>
#include <utility>
#include <variant>

namespace errorlog {

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

// A failed step as a value: the error number and description that the error
// log records. Code below the windows returns these; the windows log them.
struct Failure
{
    qint32 number = 0;
    QString description;

    // The usual description of a classic error number ("Type mismatch").
    static QString standardDescription(qint32 number);
    // The standard description, followed by ": " and `detail` when given.
    static Failure standard(qint32 number, const QString &detail = {});
    // A failed operation that only left errno behind, on `path`.
    static Failure fromErrno(int err, const QString &path, qint32 fallback = ErrNum::PathFileAccessError);
    // A refused or failed SafeFile operation on `path`: not a regular file
    // is 75, too large to read is 7, the rest as fromErrno. A file being
    // written is missing only because a folder on its way is, so there "not
    // found" is "path not found".
    enum class Access { Read, Write };
    static Failure fromResult(
        const platform::SafeFile::Result &result, const QString &path, Access access = Access::Read);

    friend bool operator==(const Failure &, const Failure &) = default;
};

// A value or the failure that stands in its place, shaped like C++23's
// std::expected (which g++ 12 offers only in C++23 mode) so that switching
// to it later changes no caller.
template <typename T> class [[nodiscard]] Expected
{
public:
    Expected(T value)
        : m_state(std::in_place_index<0>, std::move(value))
    { }
    Expected(Failure failure)
        : m_state(std::in_place_index<1>, std::move(failure))
    { }

    bool has_value() const noexcept { return m_state.index() == 0; }
    explicit operator bool() const noexcept { return has_value(); }
    T &value() & { return std::get<0>(m_state); }
    const T &value() const & { return std::get<0>(m_state); }
    T &&value() && { return std::get<0>(std::move(m_state)); }
    T &operator*() & { return value(); }
    const T &operator*() const & { return value(); }
    T *operator->() { return &value(); }
    const T *operator->() const { return &value(); }
    const Failure &error() const { return std::get<1>(m_state); }

private:
    std::variant<T, Failure> m_state;
};

template <> class [[nodiscard]] Expected<void>
{
public:
    Expected() = default;
    Expected(Failure failure)
        : m_failure(std::move(failure))
    { }

    bool has_value() const noexcept { return !m_failure; }
    explicit operator bool() const noexcept { return has_value(); }
    const Failure &error() const { return *m_failure; }

private:
    std::optional<Failure> m_failure;
};

// A SafeFile operation on `path` as an Expected.
Expected<void> expectDone(
    const platform::SafeFile::Result &result, const QString &path, Failure::Access access = Failure::Access::Read);

class ErrorTrap;

// Where the failures of an operation that goes on after them are handed, one
// at a time, as they happen: in the program, a window's ErrorTrap, which logs
// each under its procedure's name.
class FailureSink
{
public:
    template <typename Handler>
    requires std::is_invocable_v<const Handler &, const Failure &> FailureSink(Handler handler)
        : m_handler(std::move(handler))
    { }
    // Logs each failure under the trap's procedure; the trap must outlive
    // the sink (as it does when the sink is an argument).
    FailureSink(const ErrorTrap &trap);

    void operator()(const Failure &failure) const
    {
        if (m_handler)
            m_handler(failure);
    }

    // Hands a failed step's failure over; returns whether the step succeeded.
    template <typename T> bool operator()(const Expected<T> &outcome) const
    {
        if (!outcome)
            (*this)(outcome.error());
        return outcome.has_value();
    }

private:
    std::function<void(const Failure &)> m_handler;
};

} // namespace errorlog
