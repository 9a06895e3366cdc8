#include "TemplateFile.h"

#include "CErrorlog.h"
#include "ErrorTrap.h"
#include "FileSteps.h"
#include "RuntimeError.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>

QString templateFolder(const QString &programFolder)
{
    return CErrorlog::Bracket(programFolder) + QStringLiteral("Templates");
}

QString defaultTemplatePath(const QString &programFolder)
{
    return CErrorlog::Bracket(templateFolder(programFolder)) + QStringLiteral("Default.avs");
}

QString fileTextToEditor(const QByteArray &fileBytes)
{
    QString text = QString::fromLocal8Bit(fileBytes);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
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

QByteArray editorTextToFile(const QString &editorText)
{
    return editorTextWithCrLf(editorText).toLocal8Bit();
}

std::optional<QString> readTemplateText(const QString &sFile, const QString &defaultTemplatePath)
{
    const QString path = !sFile.isEmpty() && QFileInfo(sFile).isFile() ? sFile : defaultTemplatePath;
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return fileTextToEditor(bytes);
}

bool saveTemplateText(const QString &sFile, const QString &editorText, const ErrorTrap &step)
{
    QSaveFile file(sFile);
    // Unbuffered, so a short write shows at once: a write that only fails
    // when the buffer is flushed at commit() is not reliably reported there.
    const bool opened = step([&] { FileSteps::openForWriting(file, QIODevice::Unbuffered); });
    const bool wrote = step([&] { FileSteps::writeAll(file, editorTextToFile(editorText)); });
    // A text only partly written must never take the old file's place.
    if (!wrote && file.isOpen())
        file.cancelWriting();
    const bool committed = step([&] {
        FileSteps::requireOpen(file);
        errno = 0;
        if (file.error() != QFileDevice::NoError) {
            file.cancelWriting();
            throw RuntimeError::fromFile(file, ErrNum::DeviceIOError);
        }
        if (!file.commit())
            throw RuntimeError::fromFile(file, ErrNum::DeviceIOError);
    });
    return opened && wrote && committed;
}
