#include "TemplateFile.h"

#include "FolderPath.h"
#include "SafeFile.h"
#include "TextLines.h"

#include <QFileInfo>

namespace SafeFile = platform::SafeFile;
using platform::decodeFile;
using platform::detectTextFormat;
using platform::encodeFile;
using platform::pathInFolder;
using platform::TextFormat;
using platform::withLineEnds;

using errorlog::expectDone;
using errorlog::Expected;
using errorlog::Failure;
using errorlog::FailureSink;

namespace scriptgen {

QString templateFolder(const QString &programFolder)
{
    return pathInFolder(programFolder, QStringLiteral("Templates"));
}

QString defaultTemplatePath(const QString &programFolder)
{
    return pathInFolder(templateFolder(programFolder), QStringLiteral("Default.avs"));
}

TemplateText fileTextToEditor(const QByteArray &fileBytes)
{
    const TextFormat format = detectTextFormat(fileBytes);
    return { withLineEnds(decodeFile(fileBytes, format), QStringLiteral("\n")), format };
}

QString editorTextWithCrLf(const QString &editorText)
{
    QString text;
    text.reserve(editorText.size() + editorText.size() / 16);
    const qsizetype n = editorText.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = editorText.at(i);
        switch (c.unicode()) {
        case '\r':
            if (i + 1 < n && editorText.at(i + 1) == QLatin1Char('\n'))
                ++i;
            Q_FALLTHROUGH();
        case '\n':
        case QChar::LineSeparator:
        case QChar::ParagraphSeparator: text += QLatin1String("\r\n"); break;
        default: text += c;
        }
    }
    return text;
}

QByteArray editorTextToFile(const QString &editorText, const TextFormat &format)
{
    return encodeFile(editorTextWithCrLf(editorText), format);
}

Expected<std::optional<TemplateText>> readTemplateText(const QString &sFile, const QString &defaultTemplatePath)
{
    // A name that stands for nothing, or for a folder, falls back to the
    // default; anything else that stands there is the user's choice, and is
    // refused below if it is not a file.
    const QFileInfo chosen(sFile);
    const QString path = !sFile.isEmpty() && chosen.exists() && !chosen.isDir() ? sFile : defaultTemplatePath;
    if (path.isEmpty())
        return std::optional<TemplateText>();
    QByteArray bytes;
    const SafeFile::Result read = SafeFile::readFile(path, bytes);
    if (read.failure == SafeFile::Result::NotRegularFile || read.failure == SafeFile::Result::TooLarge)
        return Failure::fromResult(read, path);
    if (!read.ok())
        return std::optional<TemplateText>();
    return std::optional(fileTextToEditor(bytes));
}

bool saveTemplateText(
    const QString &sFile, const QString &editorText, const TextFormat &format, const FailureSink &report)
{
    return report(
        expectDone(SafeFile::replaceFile(sFile, editorTextToFile(editorText, format), SafeFile::Durability::Synced),
            sFile, Failure::Access::Write));
}

} // namespace scriptgen
