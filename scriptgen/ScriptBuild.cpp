#include "ScriptBuild.h"

#include "CErrorlog.h"
#include "ErrorTrap.h"
#include "RuntimeError.h"
#include "SafeFile.h"
#include "Substitute.h"

#include <QDir>
#include <QSet>

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

bool stopRequested(const BuildOptions &options)
{
    return options.stopRequested && options.stopRequested();
}

bool isEexist(const SafeFile::Result &result)
{
    return result.failure == SafeFile::Result::System && result.error == EEXIST;
}

// A file that could not be created cannot be written or closed either.
void requireOpen(const SafeFile::PendingFile &file, const QString &name)
{
    if (!file.isOpen())
        throw RuntimeError(ErrNum::BadFileNameOrNumber,
            RuntimeError::standardDescription(ErrNum::BadFileNameOrNumber) + QStringLiteral(": ") + name);
}

RuntimeError namesExhausted(const QString &prefix, const QString &dotExt)
{
    return RuntimeError(ErrNum::Overflow,
        RuntimeError::standardDescription(ErrNum::Overflow) + QStringLiteral(": ") + prefix + QStringLiteral("0")
            + dotExt + QStringLiteral(" to ") + prefix + QString::number(MaxBatchNumber) + dotExt
            + QStringLiteral(" all exist"));
}

// Removes what killed builds left in each folder a build writes to, once.
class Leftovers
{
public:
    void removeIn(const QString &scriptPath)
    {
        const qsizetype slash = scriptPath.lastIndexOf(QDir::separator());
        const QString folder = slash < 0 ? QString() : scriptPath.left(slash + 1);
        if (!m_done.contains(folder)) {
            m_done.insert(folder);
            SafeFile::removeStaleTemporaries(folder);
        }
    }

private:
    QSet<QString> m_done;
};

enum class Outcome { Written, Kept, Failed };

// Puts one clip's script in place. Under "Always" whatever stands there is
// replaced without a look. Under "Ask" an existing script is asked about; a
// new one never replaces a script that appeared while it was written, which
// is asked about in turn.
Outcome putScript(const QString &path, const QByteArray &bytes, const BuildOptions &options, const ErrorTrap &step,
    const std::function<bool(const QString &scriptPath)> &askOverwrite)
{
    const auto replace
        = [&] { RuntimeError::check(SafeFile::replaceFile(path, bytes), path, RuntimeError::Access::Write); };
    if (!options.askBeforeOverwrite)
        return step(replace) ? Outcome::Written : Outcome::Failed;
    if (!SafeFile::fileOrLinkExists(path)) {
        bool appeared = false;
        const bool done = step([&] {
            const SafeFile::Result created = SafeFile::createFile(path, bytes);
            // Something other than a script (a folder, a FIFO) is refused
            // as a replace would refuse it.
            appeared = isEexist(created) && SafeFile::fileOrLinkExists(path);
            if (appeared)
                return;
            if (isEexist(created))
                replace();
            else
                RuntimeError::check(created, path, RuntimeError::Access::Write);
        });
        if (!done)
            return Outcome::Failed;
        if (!appeared)
            return Outcome::Written;
    }
    // A question that could not be put must not cost the user the file.
    bool overwrite = false;
    step([&] { overwrite = askOverwrite(path); });
    if (!overwrite)
        return Outcome::Kept;
    return step(replace) ? Outcome::Written : Outcome::Failed;
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
    Leftovers leftovers;
    int written = 0;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const ClipRow &row = rows.at(i);
        if (!row.checked)
            continue;
        if (stopRequested(options))
            break;

        QString path;
        QByteArray bytes;
        // A row that gives no script name gets no script, and keeps its mark.
        if (!step([&] {
                const ClipNameParts parts = splitClipFileName(row.file);
                path = scriptPath(row, parts.clip, options, specificFolder, dotExt);
                bytes = expandRow(row, parts, options.templateText).toLocal8Bit();
            }))
            continue;
        leftovers.removeIn(path);

        // Written beside the old script and renamed over it (or over a link,
        // whose target stays as it was), so a full disk or a killed build
        // never leaves a torn script in place of the user's. A link counts as
        // a script: "No" keeps it like any other.
        const Outcome outcome = putScript(path, bytes, options, step, askOverwrite);
        if (outcome == Outcome::Written)
            ++written;
        if (outcome != Outcome::Failed && markScript)
            step([&] { markScript(int(i)); });
    }
    return written;
}

QString buildBatch(const QList<ClipRow> &rows, const BuildOptions &options, const ErrorTrap &step)
{
    const QString prefix = batchPrefix(options);
    const QString dotExt = dotExtension(options);
    SafeFile::removeStaleTemporaries(options.avsFolder);

    // The name the file is meant to take, for messages: the first free one.
    QString name;
    for (int n = 0; n <= MaxBatchNumber && name.isEmpty(); ++n) {
        if (SafeFile::entryAt(batchPath(prefix, n, dotExt)) == SafeFile::Entry::Missing)
            name = batchPath(prefix, n, dotExt);
    }
    SafeFile::PendingFile file;
    if (!step([&] {
            if (name.isEmpty())
                throw namesExhausted(prefix, dotExt);
            RuntimeError::check(file.create(options.avsFolder), name, RuntimeError::Access::Write);
        })
        && name.isEmpty())
        return QString();

    bool complete = file.isOpen();
    for (const ClipRow &row : rows) {
        if (!row.checked)
            continue;
        // Part of a batch script is worth nothing: it goes.
        if (stopRequested(options))
            return QString();
        QByteArray bytes;
        // A row that gives no script name adds nothing; the others go on.
        if (step([&] { bytes = scriptText(row, options.templateText).toLocal8Bit(); })) {
            complete &= step([&] {
                requireOpen(file, name);
                RuntimeError::check(file.append(bytes), name, RuntimeError::Access::Write);
            });
        }
    }
    // Complete, it takes the first name free now, claimed in the same step
    // that puts it there, so a file that turned up meanwhile is never replaced.
    QString published;
    const bool closed = step([&] {
        requireOpen(file, name);
        if (!complete)
            return;
        for (int n = 0; n <= MaxBatchNumber; ++n) {
            const QString candidate = batchPath(prefix, n, dotExt);
            const SafeFile::Result result = file.publish(candidate);
            if (result.ok()) {
                published = candidate;
                return;
            }
            if (!isEexist(result))
                throw RuntimeError::fromResult(result, candidate, RuntimeError::Access::Write);
        }
        throw namesExhausted(prefix, dotExt);
    });
    return closed ? published : QString();
}
