#include "ScriptBuild.h"

#include "FolderPath.h"
#include "SafeFile.h"
#include "Substitute.h"

#include <QDir>
#include <QSet>

#include <cerrno>

namespace SafeFile = platform::SafeFile;
using platform::pathInFolder;

namespace ErrNum = errorlog::ErrNum;
using errorlog::expectDone;
using errorlog::Expected;
using errorlog::Failure;
using errorlog::FailureSink;

using scan::ClipNameParts;
using scan::ClipRow;
using scan::splitClipFileName;

namespace scriptgen {

namespace {

QString dotExtension(const BuildOptions &options)
{
    return QLatin1Char('.') + options.scriptExtension.toLower();
}

QString scriptPath(const ClipRow &row, const QString &clip, const BuildOptions &options, const QString &dotExt)
{
    return pathInFolder(
        options.scriptFolder == ScriptFolder::SpecificFolder ? options.avsFolder : row.location, clip + dotExt);
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
    return pathInFolder(options.avsFolder, QStringLiteral("batch_file_"));
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
Expected<void> requireOpen(const SafeFile::PendingFile &file, const QString &name)
{
    if (!file.isOpen())
        return Failure { ErrNum::BadFileNameOrNumber,
            Failure::standardDescription(ErrNum::BadFileNameOrNumber) + QStringLiteral(": ") + name };
    return {};
}

Failure namesExhausted(const QString &prefix, const QString &dotExt)
{
    return Failure::standard(ErrNum::Overflow,
        prefix + QStringLiteral("0") + dotExt + QStringLiteral(" to ") + prefix + QString::number(MaxBatchNumber)
            + dotExt + QStringLiteral(" all exist"));
}

Expected<void> written(const SafeFile::Result &result, const QString &path)
{
    return expectDone(result, path, Failure::Access::Write);
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
Outcome putScript(const QString &path, const QByteArray &bytes, const BuildOptions &options, const FailureSink &report,
    const std::function<bool(const QString &scriptPath)> &askOverwrite)
{
    const auto replace = [&] { return report(written(SafeFile::replaceFile(path, bytes), path)); };
    if (options.overwrite == OverwritePolicy::Always)
        return replace() ? Outcome::Written : Outcome::Failed;
    if (!SafeFile::fileOrLinkExists(path)) {
        const SafeFile::Result created = SafeFile::createFile(path, bytes);
        // Something other than a script (a folder, a FIFO) is refused as a
        // replace would refuse it.
        if (!isEexist(created))
            return report(written(created, path)) ? Outcome::Written : Outcome::Failed;
        if (!SafeFile::fileOrLinkExists(path))
            return replace() ? Outcome::Written : Outcome::Failed;
    }
    // No one to ask keeps the file, as "No" does.
    if (!askOverwrite || !askOverwrite(path))
        return Outcome::Kept;
    return replace() ? Outcome::Written : Outcome::Failed;
}

// Complete, the batch file takes the first name free now, claimed in the
// same step that puts it there, so a file that turned up meanwhile is never
// replaced.
Expected<QString> publishBatch(SafeFile::PendingFile &file, const QString &prefix, const QString &dotExt)
{
    for (int n = 0; n <= MaxBatchNumber; ++n) {
        const QString candidate = batchPath(prefix, n, dotExt);
        const SafeFile::Result result = file.publish(candidate);
        if (result.ok())
            return candidate;
        if (!isEexist(result))
            return Failure::fromResult(result, candidate, Failure::Access::Write);
    }
    return namesExhausted(prefix, dotExt);
}

} // namespace

Expected<QString> scriptText(const ClipRow &row, const QString &templateText)
{
    const Expected<ClipNameParts> parts = splitClipFileName(row.file);
    if (!parts)
        return parts.error();
    return expandRow(row, *parts, templateText);
}

Expected<ScriptPreview> previewScript(const ClipRow &row, const BuildOptions &options, bool batch)
{
    const Expected<QString> text = scriptText(row, options.templateText);
    if (!text)
        return text.error();
    ScriptPreview preview;
    preview.text = *text;
    if (!batch) {
        preview.path = *scriptPathFor(row, options);
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

Expected<QString> scriptPathFor(const ClipRow &row, const BuildOptions &options)
{
    const Expected<ClipNameParts> parts = splitClipFileName(row.file);
    if (!parts)
        return parts.error();
    return scriptPath(row, parts->clip, options, dotExtension(options));
}

int buildPerClip(const QList<ClipRow> &rows, const BuildOptions &options, const FailureSink &report,
    const std::function<bool(const QString &scriptPath)> &askOverwrite, const std::function<void(int row)> &markScript)
{
    const QString dotExt = dotExtension(options);
    Leftovers leftovers;
    int count = 0;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const ClipRow &row = rows.at(i);
        if (!row.checked)
            continue;
        if (stopRequested(options))
            break;

        // A row that gives no script name gets no script, and keeps its mark.
        const Expected<ClipNameParts> parts = splitClipFileName(row.file);
        if (!report(parts))
            continue;
        const QString path = scriptPath(row, parts->clip, options, dotExt);
        const QByteArray bytes = expandRow(row, *parts, options.templateText).toLocal8Bit();
        leftovers.removeIn(path);

        // Written beside the old script and renamed over it (or over a link,
        // whose target stays as it was), so a full disk or a killed build
        // never leaves a torn script in place of the user's. A link counts as
        // a script: "No" keeps it like any other.
        const Outcome outcome = putScript(path, bytes, options, report, askOverwrite);
        if (outcome == Outcome::Written)
            ++count;
        if (outcome != Outcome::Failed && markScript)
            markScript(int(i));
    }
    return count;
}

QString buildBatch(const QList<ClipRow> &rows, const BuildOptions &options, const FailureSink &report)
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
    if (name.isEmpty()) {
        report(namesExhausted(prefix, dotExt));
        return QString();
    }
    SafeFile::PendingFile file;
    report(written(file.create(options.avsFolder), name));

    bool complete = file.isOpen();
    for (const ClipRow &row : rows) {
        if (!row.checked)
            continue;
        // Part of a batch script is worth nothing: it goes.
        if (stopRequested(options))
            return QString();
        // A row that gives no script name adds nothing; the others go on.
        const Expected<QString> text = scriptText(row, options.templateText);
        if (report(text))
            complete &= report(requireOpen(file, name)) && report(written(file.append(text->toLocal8Bit()), name));
    }
    if (!report(requireOpen(file, name)) || !complete)
        return QString();
    const Expected<QString> published = publishBatch(file, prefix, dotExt);
    return report(published) ? *published : QString();
}

} // namespace scriptgen
