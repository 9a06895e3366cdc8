#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

class ErrorTrap;

// Template files (.avt and Templates/Default.avs) hold the editor's plain text
// as 8-bit local text without byte-order mark, lines ended by CR LF.

// The template folder beside the program, and the start-up default in it.
QString templateFolder(const QString &programFolder);
QString defaultTemplatePath(const QString &programFolder);

// File bytes to the editor's text: CR LF, a lone CR and a lone LF each become
// one "\n".
QString fileTextToEditor(const QByteArray &fileBytes);

// The editor's text with every line break as CR LF: what the builds expand.
// "\n", "\r\n", a lone "\r", U+2028 and U+2029 each count as one line break.
QString editorTextWithCrLf(const QString &editorText);

// The bytes a template file holds for the editor's text.
QByteArray editorTextToFile(const QString &editorText);

// The text LoadTemplate puts into the editor: sFile when it names an existing
// file, else the default template. nullopt when the chosen file cannot be
// read; the editor then keeps its text. Nothing is logged.
std::optional<QString> readTemplateText(const QString &sFile, const QString &defaultTemplatePath);

// SaveTemplate: writes the editor's text to exactly sFile. The old file is
// only replaced once the new text is completely written, so a failed save
// leaves it as it was. Each step (open, write, commit) runs through `step`;
// returns whether the file now holds the text.
bool saveTemplateText(const QString &sFile, const QString &editorText, const ErrorTrap &step);
