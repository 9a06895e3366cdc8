#pragma once

#include "CErrorlog.h"
#include "RuntimeError.h"

#include <QDateTime>
#include <QString>

#include <exception>
#include <utility>

namespace errorlog {

// "Log and go on": a trapped procedure runs each of its steps through one
// ErrorTrap. A step that throws is logged under the procedure's name and the
// next step runs; nothing escapes.
//
//     ErrorTrap step(errorlog, u"frmTovrane"_s, u"Form_Load"_s);
//     step([&] { ... });
//     step([&] { ... });
//
// Code below the windows throws nothing: it returns its failures, or hands
// them to a FailureSink, which a trap passed in its place logs the same way.
class ErrorTrap
{
public:
    ErrorTrap(const CErrorlog &log, QString sourceModule, QString sourceProcedure)
        : m_log(log)
        , m_module(std::move(sourceModule))
        , m_procedure(std::move(sourceProcedure))
    { }

    ErrorTrap(const ErrorTrap &) = delete;
    ErrorTrap &operator=(const ErrorTrap &) = delete;

    // Runs one step; returns false when it failed (and was logged).
    template <typename Step> bool operator()(Step &&step) const noexcept
    {
        try {
            std::forward<Step>(step)();
            return true;
        } catch (const RuntimeError &e) {
            log(e.number(), e.description());
        } catch (const std::exception &e) {
            log(ErrNum::InternalError, QString::fromLocal8Bit(e.what()));
        } catch (...) {
            log(ErrNum::InternalError, Failure::standardDescription(ErrNum::InternalError));
        }
        return false;
    }

    const QString &procedure() const { return m_procedure; }

    // Logs a failure that was returned rather than thrown.
    void report(const Failure &failure) const noexcept { log(failure.number, failure.description); }

private:
    void log(qint32 number, const QString &description) const noexcept
    {
        try {
            m_log.LogError(number, description, QDateTime::currentDateTime(), m_module, m_procedure);
        } catch (...) { }
    }

    const CErrorlog &m_log;
    QString m_module;
    QString m_procedure;
};

} // namespace errorlog
