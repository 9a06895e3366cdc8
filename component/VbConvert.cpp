#include "VbConvert.h"

#include <QLocale>

#include <cmath>
#include <limits>

namespace component {

namespace VbConvert {
namespace {

Result convert(const QString &text, double low, double high)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return { 0, TypeMismatch };

    // A number too large for a double fails to parse and comes back as an
    // infinity; anything else that fails is no number at all.
    bool ok = false;
    double number = QLocale::system().toDouble(trimmed, &ok);
    bool tooLarge = !ok && std::isinf(number);
    if (!ok) {
        number = QLocale::c().toDouble(trimmed, &ok);
        tooLarge = tooLarge || (!ok && std::isinf(number));
    }
    if (!ok)
        return { 0, tooLarge ? Overflow : TypeMismatch };
    if (!std::isfinite(number)) // the words "inf" and "nan" parse, but are no numbers
        return { 0, TypeMismatch };
    const double rounded = std::nearbyint(number); // the default mode rounds ties to even
    if (rounded < low || rounded > high)
        return { 0, Overflow };
    return { static_cast<qint32>(rounded), Ok };
}

} // namespace

Result toLong(const QString &text)
{
    return convert(text, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max());
}

Result toInteger(const QString &text)
{
    return convert(text, std::numeric_limits<qint16>::min(), std::numeric_limits<qint16>::max());
}

} // namespace VbConvert

} // namespace component
