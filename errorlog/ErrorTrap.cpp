#include "ErrorTrap.h"

namespace errorlog {

FailureSink::FailureSink(const ErrorTrap &trap)
    : m_handler([&trap](const Failure &failure) { trap.report(failure); })
{ }

} // namespace errorlog
