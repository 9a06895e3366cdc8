#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

// The 8-bit text files the program reads (settings, templates, Filters.txt)
// are written in the local encoding, but files from older systems come in
// Windows-1252, and a settings file saved by Windows' Notepad as "Unicode"
// comes in UTF-16 with a byte-order mark. Such a file is read in its encoding
// and written back the same way, so that bytes the user did not edit come
// back exactly as they were.
struct TextFormat
{
    enum class Encoding { Local, Windows1252, Utf16LE, Utf16BE };
    Encoding encoding = Encoding::Local;
    // A byte-order mark began the file (UTF-8 before 8-bit text; always, for
    // UTF-16); it is put back on writing.
    bool byteOrderMark = false;

    bool operator==(const TextFormat &) const = default;
};

// The UTF-8 byte-order mark.
inline const QByteArray Utf8Bom = QByteArrayLiteral("\xEF\xBB\xBF");

// The byte-order mark a file in `format` begins with ("" for none).
QByteArray byteOrderMarkOf(const TextFormat &format);

// How `bytes` (a whole file, or one part of it) are encoded: the local
// encoding when they decode in it and encode back to exactly the same bytes,
// else Windows-1252. When `withBom` is set, a leading byte-order mark is
// noted and takes no part in the decision; a UTF-16 one (little or big
// endian) makes the file UTF-16.
TextFormat detectTextFormat(const QByteArray &bytes, bool withBom = false);

// The text of `bytes` in `encoding` (no byte-order mark handling). Decoding
// Windows-1252 never fails: its five unassigned bytes stand for the Latin-1
// characters of the same value. UTF-16 is taken unit by unit, lone
// surrogates included, so that it encodes back to the same bytes; an odd
// last byte holds no unit and is dropped.
QString decodeText(const QByteArray &bytes, TextFormat::Encoding encoding);

// True when every character of `text` has a byte in `encoding`.
bool canEncodeText(const QString &text, TextFormat::Encoding encoding);

// The bytes of `text` in `encoding`; a character without a byte there comes
// out as "?" (ask canEncodeText first where that matters).
QByteArray encodeText(const QString &text, TextFormat::Encoding encoding);

// A whole file: decodeText after the byte-order mark that `format` notes.
QString decodeFile(const QByteArray &bytes, const TextFormat &format);
// A whole file in `format`, its byte-order mark first. When the text holds a
// character that Windows-1252 has no byte for, the file is written in the
// local encoding instead, which holds every character: the user's text is
// never replaced by "?".
QByteArray encodeFile(const QString &text, const TextFormat &format);

// A name's bytes (UTF-8, or what should have been) in readable form for
// messages: whatever decodes and the local encoding holds as it is, every
// other byte (and a backslash or control character, so that the text stays
// unambiguous) as \xHH.
QString escapedBytes(const QByteArray &raw);

} // namespace platform
