#pragma once

#include <QString>

namespace component {

// Text-to-number conversion the way the classic runtime converts a string to
// a whole number: surrounding blanks ignored, the user's number format, a
// fraction rounded to the nearest whole number with ties to even. Both the
// program and the update-check library use it; neither throws here, so each
// can report the failure in its own way.
namespace VbConvert {

enum Error : int {
    Ok = 0,
    Overflow = 6,
    TypeMismatch = 13,
};

struct Result
{
    qint32 value = 0;
    Error error = Ok;
    bool ok() const { return error == Ok; }
};

// 32-bit whole number (the classic Long).
Result toLong(const QString &text);
// 16-bit whole number (the classic Integer).
Result toInteger(const QString &text);

} // namespace VbConvert

} // namespace component
