#include "ScanWalk.h"

#include "Failure.h"
#include "FolderPath.h"
#include "FolderReader.h"
#include "TextEncoding.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <unordered_set>
#include <utility>
#include <vector>

namespace ErrNum = errorlog::ErrNum;
using errorlog::Failure;
using errorlog::FailureSink;

namespace scan {

// Pure ASCII reads the same in every local encoding.
bool decodeExactly(const char *name, QString &out)
{
    qsizetype size = 0;
    bool ascii = true;
    for (; name[size] != '\0'; ++size)
        ascii = ascii && static_cast<unsigned char>(name[size]) < 0x80;
    if (ascii) {
        out = QString::fromLatin1(name, size);
        return true;
    }
    const QByteArray raw = QByteArray::fromRawData(name, size);
    out = QFile::decodeName(raw);
    return QFile::encodeName(out) == raw;
}

using platform::escapedBytes;
using platform::pathInFolder;

namespace {

// The order a user sees in a file manager: case-insensitive, with a
// case-sensitive tie-break so that the order is total and repeatable. Being
// total also lets a binary search answer "is this exact name here".
bool nameLess(const QString &a, const QString &b)
{
    const int folded = QString::compare(a, b, Qt::CaseInsensitive);
    if (folded != 0)
        return folded < 0;
    return QString::compare(a, b, Qt::CaseSensitive) < 0;
}

// Whether `sorted` (by nameLess) holds `name`: exactly, or in any case where
// the system takes names that differ only in case for one.
bool holdsName(const QStringList &sorted, const QString &name)
{
    if (FolderReader::namesIgnoreCase())
        return std::binary_search(sorted.cbegin(), sorted.cend(), name,
            [](const QString &a, const QString &b) { return QString::compare(a, b, Qt::CaseInsensitive) < 0; });
    return std::binary_search(sorted.cbegin(), sorted.cend(), name, nameLess);
}

qsizetype lastDot(QStringView fileName)
{
    return fileName.lastIndexOf(QLatin1Char('.'));
}

QStringView extensionOf(QStringView fileName)
{
    const qsizetype dot = lastDot(fileName);
    return dot < 0 ? fileName : fileName.mid(dot + 1);
}

// The extension list split once, so that testing a file costs no allocation.
class ExtensionMatcher
{
public:
    explicit ExtensionMatcher(const QString &extensionList)
    {
        if (!extensionList.isEmpty())
            m_entries = extensionList.split(QLatin1Char('|'), Qt::KeepEmptyParts);
    }

    // Upper-cases unit by unit so that lengths, and with them positions, stay.
    bool matches(QStringView extension) const
    {
        for (const QString &entry : m_entries) {
            if (entry.size() != extension.size())
                continue;
            qsizetype i = 0;
            while (i < entry.size() && entry.at(i) == extension.at(i).toUpper())
                ++i;
            if (i == entry.size())
                return true;
        }
        return false;
    }

private:
    QStringList m_entries;
};

// An absolute, clean path with "/" separators: no trailing separator except
// for a root.
QString normalFolderPath(const QString &folder)
{
    return QDir::cleanPath(QFileInfo(QDir::fromNativeSeparators(folder)).absoluteFilePath());
}

// Reports the names that the scan leaves out, each once per scan however
// many scan folders reach it, so that the user learns what to rename.
class BadNameReport
{
public:
    explicit BadNameReport(const FailureSink &report)
        : m_report(report)
    { }

    // A folder is named with a trailing separator: all it holds is left out.
    void add(const QString &folder, const QByteArray &name, bool isFolder)
    {
        QString path = pathInFolder(folder, escapedBytes(name));
        if (isFolder)
            path += QLatin1Char('/');
        if (m_reported.contains(path))
            return;
        m_reported.insert(path);
        m_report(Failure::standard(ErrNum::BadFileNameOrNumber, QDir::toNativeSeparators(path)));
    }

private:
    const FailureSink &m_report;
    QSet<QString> m_reported;
};

class Walker
{
public:
    Walker(const ScanOptions &options, const FailureSink &walkReport, BadNameReport &badNames, QList<ClipRow> &out)
        : m_matcher(options.extensions)
        , m_onlyWithoutScript(options.onlyWithoutScript)
        , m_report(walkReport)
        , m_badNames(badNames)
        , m_out(out)
    { }

    // Iterative, so that the depth of the tree never meets the depth of the
    // call stack.
    void walk(const QString &root)
    {
        std::vector<Branch> branch;
        visit(root, branch);
        while (!branch.empty()) {
            Branch &top = branch.back();
            if (top.next == top.folders.size()) {
                branch.pop_back();
                continue;
            }
            const QString path = pathInFolder(top.path, top.folders.at(top.next++));
            visit(path, branch);
        }
    }

private:
    struct Branch
    {
        QString path;
        QStringList folders;
        qsizetype next = 0;
    };

    void visit(const QString &path, std::vector<Branch> &branch)
    {
        FolderReader folder(path);
        if (!folder.isOpen())
            return;
        // Each real folder once, by whichever way the walk meets it first:
        // links can reach a folder by many ways (as many as double at every
        // level), and a link back up would never end.
        if (!m_visited.insert(folder.id()).second)
            return;
        Listing listing;
        if (!folder.read(listing) || !listing.hasFiles())
            return;

        if (listing.error != 0)
            m_report(Failure::fromErrno(listing.error, QDir::toNativeSeparators(path)));
        if (!listing.badFiles.isEmpty() || !listing.badFolders.isEmpty())
            reportBadNames(path, listing);
        addClips(path, listing);
        if (!listing.folders.isEmpty()) {
            std::sort(listing.folders.begin(), listing.folders.end(), nameLess);
            branch.push_back({ path, std::move(listing.folders) });
        }
    }

    // Only what the scan would have used: a file on the clip list, and every
    // folder, since its clips go unseen.
    void reportBadNames(const QString &path, Listing &listing)
    {
        std::sort(listing.badFiles.begin(), listing.badFiles.end());
        std::sort(listing.badFolders.begin(), listing.badFolders.end());
        for (const QByteArray &name : std::as_const(listing.badFiles)) {
            const QByteArray raw = name.mid(name.lastIndexOf('.') + 1);
            const QString extension = QString::fromUtf8(raw);
            if (extension.toUtf8() == raw && m_matcher.matches(extension))
                m_badNames.add(path, name, false);
        }
        for (const QByteArray &name : std::as_const(listing.badFolders))
            m_badNames.add(path, name, true);
    }

    void addClips(const QString &path, Listing &listing)
    {
        QStringList &files = listing.files;
        QStringList &links = listing.otherLinks;
        std::sort(files.begin(), files.end(), nameLess);
        std::sort(links.begin(), links.end(), nameLess);
        // One location string for all rows of the folder.
        const QString location = QDir::toNativeSeparators(path);
        for (const QString &name : std::as_const(files)) {
            if (!m_matcher.matches(extensionOf(name)))
                continue;
            const qsizetype dot = lastDot(name);
            m_scriptName.truncate(0);
            m_scriptName.append(QStringView(name).left(dot < 0 ? name.size() : dot));
            m_scriptName.append(QLatin1String(".avs"));
            // A link under the script's name is a script even when broken:
            // the builds replace it rather than write a second one.
            const bool scriptExists = holdsName(files, m_scriptName) || holdsName(links, m_scriptName);
            if (m_onlyWithoutScript && scriptExists)
                continue;
            m_out.append(
                ClipRow { !scriptExists, name, location, scriptExists ? ScriptMark::Exists : ScriptMark::None });
        }
    }

    ExtensionMatcher m_matcher;
    bool m_onlyWithoutScript;
    const FailureSink &m_report;
    BadNameReport &m_badNames;
    QList<ClipRow> &m_out;
    std::unordered_set<FolderId, FolderIdHash> m_visited;
    QString m_scriptName;
};

void ScanFolder(const QString &folder, const ScanOptions &options, const FailureSink &walkReport,
    BadNameReport &badNames, QList<ClipRow> &out)
{
    if (folder.isEmpty())
        return;
    Walker(options, walkReport, badNames, out).walk(normalFolderPath(folder));
}

} // namespace

QList<ClipRow> scanFolders(const QStringList &scanFolders, const ScanOptions &options, const FailureSink &report,
    const FailureSink &walkReport)
{
    QList<ClipRow> rows;
    BadNameReport badNames(report);
    for (const QString &item : scanFolders) {
        if (item.isEmpty() || !QFileInfo(item).isDir())
            report(Failure { ErrNum::PathNotFound,
                Failure::standardDescription(ErrNum::PathNotFound) + QStringLiteral(": ")
                    + QDir::toNativeSeparators(item) });
        else
            ScanFolder(item, options, walkReport, badNames, rows);
    }
    return rows;
}

} // namespace scan
