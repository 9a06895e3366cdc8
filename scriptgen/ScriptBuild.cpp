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

QByteArray expandRow(const ClipRow &row, const ClipNameParts &parts, const QString &templ)
{
    return substitutePlaceholders(templ, parts.clip, parts.ext, row.location).toLocal8Bit();
}

} // namespace

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
                bytes = expandRow(row, parts, options.templateText);
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
            inPlace = step([&] { RuntimeError::check(SafeFile::replaceFile(path, bytes), path, RuntimeError::Access::Write); });
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
    const QString prefix = CErrorlog::Bracket(options.avsFolder) + QStringLiteral("batch_file_");
    const QString dotExt = dotExtension(options);

    QFile file;
    bool created = false;
    bool namesExhausted = false;
    // Finding the free name and creating the file are one operation: a name is
    // claimed by creating it exclusively, so a file that turns up between the
    // look and the creation is skipped, never replaced.
    step([&] {
        for (int n = 0; n <= MaxBatchNumber; ++n) {
            file.setFileName(prefix + QString::number(n) + dotExt);
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
        if (step([&] { bytes = expandRow(row, splitClipFileName(row.file), options.templateText); }))
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
