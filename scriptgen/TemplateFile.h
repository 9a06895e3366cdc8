#pragma once

#include "Failure.h"
#include "TextEncoding.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace scriptgen {

// Template files (.avt and Templates/Default.avs) hold the editor's plain text
// as 8-bit local text without byte-order mark, lines ended by CR LF.

// The template folder beside the program, and the start-up default in it.
QString templateFolder(const QString &programFolder);
QString defaultTemplatePath(const QString &programFolder);

// A template's text as the editor holds it, and how its file was encoded, so
// that saving it gives back the bytes the user did not edit.
struct TemplateText
{
    QString text;
    platform::TextFormat format;
};

// File bytes to the editor's text: CR LF, a lone CR and a lone LF each become
// one "\n".
TemplateText fileTextToEditor(const QByteArray &fileBytes);

// The editor's text with every line break as CR LF: what the builds expand.
// "\n", "\r\n", a lone "\r", U+2028 and U+2029 each count as one line break.
QString editorTextWithCrLf(const QString &editorText);

// The bytes a template file holds for the editor's text, in `format`.
QByteArray editorTextToFile(const QString &editorText, const platform::TextFormat &format = {});

// The text LoadTemplate puts into the editor: sFile when it names an existing
// file, else the default template. nullopt when the chosen file cannot be
// read; the editor then keeps its text, and nothing is logged. A file that is
// no regular file (a FIFO: reading it would never end) or that is larger
// than any template is refused with a failure (75, 7), for the caller to
// report.
errorlog::Expected<std::optional<TemplateText>> readTemplateText(
    const QString &sFile, const QString &defaultTemplatePath);

// SaveTemplate: writes the editor's text to exactly sFile, in `format`. The
// old file is only replaced once the new text is completely written, so a
// failed save leaves it as it was. A failure is handed to `report`; returns
// whether the file now holds the text.
bool saveTemplateText(const QString &sFile, const QString &editorText, const platform::TextFormat &format,
    const errorlog::FailureSink &report);

} // namespace scriptgen
