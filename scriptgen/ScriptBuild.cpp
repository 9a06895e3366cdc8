#include "ScriptBuild.h"

#include "CErrorlog.h"
#include "ErrorTrap.h"
#include "FileSteps.h"
#include "RuntimeError.h"
#include "SafeFile.h"
#include "Substitute.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>

namespace {

QString dotExtension(const BuildOptions &options)
{
    return QLatin1Char('.') + options.scriptExtension.toLower();
}

QString scriptPath(const ClipRow &row, const QString &clip, const BuildOptions &options, const QString &specificFolder,
    const QString &dotExt)
{
    return (options.specificFolder ? specificFolder : CErrorlog::Bracket(row.location)) + clip + dotExt;
}

QString expandRow(const ClipRow &row, const ClipNameParts &parts, const QString &templ)
{
    return substitutePlaceholders(templ, parts.clip, parts.ext, row.location);
}

QString batchPath(const QString &prefix, int n, const QString &dotExt)
{
    return prefix + QString::number(n) + dotExt;
}

QString batchPrefix(const BuildOptions &options)
{
    return CErrorlog::Bracket(options.avsFolder) + QStringLiteral("batch_file_");
}

} // namespace

QString scriptText(const ClipRow &row, const QString &templateText)
{
    return expandRow(row, splitClipFileName(row.file), templateText);
}

ScriptPreview previewScript(const ClipRow &row, const BuildOptions &options, bool batch)
{
    ScriptPreview preview;
    preview.text = scriptText(row, options.templateText);
    if (!batch) {
        preview.path = scriptPathFor(row, options);
        preview.exists = SafeFile::fileOrLinkExists(preview.path);
        return preview;
    }
    // The name the next batch build would take: the first one free.
    const QString prefix = batchPrefix(options);
    const QString dotExt = dotExtension(options);
    for (int n = 0; n <= MaxBatchNumber && preview.path.isEmpty(); ++n) {
        if (!SafeFile::fileOrLinkExists(batchPath(prefix, n, dotExt)))
            preview.path = batchPath(prefix, n, dotExt);
    }
    return preview;
}

QString scriptPathFor(const ClipRow &row, const BuildOptions &options)
{
    return scriptPath(
        row, splitClipFileName(row.file).clip, options, CErrorlog::Bracket(options.avsFolder), dotExtension(options));
}

int buildPerClip(const QList<ClipRow> &rows, const BuildOptions &options, const ErrorTrap &step,
    const std::function<bool(const QString &scriptPath)> &askOverwrite, const std::function<void(int row)> &markScript)
{
    const QString dotExt = dotExtension(options);
    const QString specificFolder = CErrorlog::Bracket(options.avsFolder);
    int written = 0;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const ClipRow &row = rows.at(i);
        if (!row.checked)
            continue;

        QString path;
        QByteArray bytes;
        // A row that gives no script name gets no script, and keeps its mark.
        if (!step([&] {
                const ClipNameParts parts = splitClipFileName(row.file);
                path = scriptPath(row, parts.clip, options, specificFolder, dotExt);
                bytes = expandRow(row, parts, options.templateText).toLocal8Bit();
            }))
            continue;

        // Under "Always" the file is not even looked at: the write replaces
        // it. A link counts as a script: "No" keeps it like any other.
        bool keep = false;
        if (options.askBeforeOverwrite && SafeFile::fileOrLinkExists(path)) {
            // A question that could not be put must not cost the user the file.
            keep = true;
            step([&] { keep = !askOverwrite(path); });
        }

        bool inPlace = keep;
        if (!keep) {
            // Written beside the old script and renamed over it (or over a
            // link, whose target stays as it was), so a full disk never
            // leaves a torn script in place of the user's.
            inPlace = step(
                [&] { RuntimeError::check(SafeFile::replaceFile(path, bytes), path, RuntimeError::Access::Write); });
            if (inPlace)
                ++written;
        }
        if (inPlace && markScript)
            step([&] { markScript(int(i)); });
    }
    return written;
}

QString buildBatch(const QList<ClipRow> &rows, const BuildOptions &options, const ErrorTrap &step)
{
    const QString prefix = batchPrefix(options);
    const QString dotExt = dotExtension(options);

    QFile file;
    bool created = false;
    bool namesExhausted = false;
    // Finding the free name and creating the file are one operation: a name is
    // claimed by creating it exclusively, so a file that turns up between the
    // look and the creation is skipped, never replaced.
    step([&] {
        for (int n = 0; n <= MaxBatchNumber; ++n) {
            file.setFileName(batchPath(prefix, n, dotExt));
            errno = 0;
            if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
                created = true;
                return;
            }
            const int err = errno;
            RuntimeError error = FileSteps::openError(file);
            if (err == EEXIST || QFileInfo::exists(file.fileName()))
                continue;
            throw error;
        }
        namesExhausted = true;
        throw RuntimeError(ErrNum::Overflow,
            RuntimeError::standardDescription(ErrNum::Overflow) + QStringLiteral(": ") + prefix + QStringLiteral("0")
                + dotExt + QStringLiteral(" to ") + prefix + QString::number(MaxBatchNumber) + dotExt
                + QStringLiteral(" all exist"));
    });
    if (namesExhausted)
        return QString();

    bool complete = created;
    for (const ClipRow &row : rows) {
        if (!row.checked)
            continue;
        QByteArray bytes;
        // A row that gives no script name adds nothing; the others go on.
        if (step([&] { bytes = scriptText(row, options.templateText).toLocal8Bit(); }))
            complete &= step([&] { FileSteps::writeAll(file, bytes); });
    }
    complete &= step([&] { FileSteps::close(file); });
    // The file is new: a part of a batch script is worth nothing, and would
    // take the name the next build should use.
    if (created && !complete) {
        file.close();
        QFile::remove(file.fileName());
        return QString();
    }
    return created ? file.fileName() : QString();
}
