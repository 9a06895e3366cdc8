#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace editor {

// Syntax colouring of the template editor, without any widget: which ranges
// of the text get which colour. The painter (ColorPainter.h) applies them.

enum class SpanKind { Placeholder, FilterName, Comment };

// A range of the text, 0-based, in UTF-16 units, to be painted as `kind`.
struct ColorSpan
{
    qsizetype start;
    qsizetype length;
    SpanKind kind;

    friend bool operator==(const ColorSpan &, const ColorSpan &) = default;
};

// The spans of the three colouring passes, in the order they are painted:
//  1. placeholders "%CLIP%", "%EXT%", "%PATH%" (case-sensitive), left to right;
//     the first occurrence wins, at one position the earlier token
//     (GetLowestIndex); the scan goes on behind a match;
//  2. filter names over the text upper-cased unit by unit, left to right, also
//     inside longer words; at one position the earlier name in `filterNames`
//     wins (whatever its length) and the scan goes on behind it. The names are
//     expected upper-cased the same way; empty names are ignored;
//  3. comments: one span per line holding a "#", from its first "#" up to and
//     including the line's end character ("\n" or "\r"), or up to the end of
//     the text on the last line.
// Within a pass spans never overlap and come in text order. The whole text is
// searched, however long it is.
QList<ColorSpan> findColorSpans(const QString &text, const QStringList &filterNames);

// Upper-cases unit by unit, so that every position in the result is the same
// position in the original (QString::toUpper may turn one character into
// two). Filter names and the text they are found in are both folded this way.
QString upperPerUnit(const QString &text);

// How a character looks once every span has been painted, in order, over the
// reset: the kind of the last span covering it, or Reset. Plain is text the
// colouring has not reached (typed since, or never coloured): the editor's
// own text colour.
enum class PaintedStyle : quint8 { Reset, Placeholder, FilterName, Comment, Plain };

// The style of each character of a text of `textLength` characters after
// painting `spans` in order. Parts of spans outside the text are ignored.
QList<PaintedStyle> paintedStyles(qsizetype textLength, const QList<ColorSpan> &spans);

} // namespace editor
