#include "ErrorTrap.h"

FailureSink::FailureSink(const ErrorTrap &trap)
    : m_handler([&trap](const Failure &failure) { trap.report(failure); })
{ }
