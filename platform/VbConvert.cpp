#include "VbConvert.h"

#include <QLocale>
#include <QRegularExpression>

#include <cmath>
#include <limits>

namespace VbConvert {
namespace {

Result convert(const QString &text, double low, double high)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return {0, TypeMismatch};

    bool ok = false;
    double number = QLocale::system().toDouble(trimmed, &ok);
    if (!ok)
        number = QLocale::c().toDouble(trimmed, &ok);
    if (!ok || std::isnan(number)) {
        // Digits too many for a double are still a number, just too large.
        static const QRegularExpression digits(QStringLiteral("^[+-]?[0-9]+([.,][0-9]*)?$"));
        return {0, digits.match(trimmed).hasMatch() ? Overflow : TypeMismatch};
    }
    const double rounded = std::nearbyint(number); // the default mode rounds ties to even
    if (!std::isfinite(rounded) || rounded < low || rounded > high)
        return {0, Overflow};
    return {static_cast<qint32>(rounded), Ok};
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
