#pragma once

#include "ColorSpans.h"

#include <QList>
#include <QStringList>

// The three colouring passes done the slow, obvious way: after each match
// every token or name is searched again from the scan position and the first
// found is taken with GetLowestIndex, and every "#" yields its own comment
// span up to the end of its line (so a line with two "#" gives two spans, the
// second inside the first). The yardstick the fast finder is checked and
// timed against: it must find the same placeholders and names and paint the
// same.
QList<editor::ColorSpan> findColorSpansReference(const QString &text, const QStringList &filterNames);
