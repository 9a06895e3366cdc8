#include "ScanWalk.h"

#include "CErrorlog.h"
#include "ErrorTrap.h"
#include "RuntimeError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

// The walk reads each folder once, straight from the system: a per-file
// QFileInfo or a stat per script test would make a large scan several times
// slower than the listing itself. Systems without POSIX directories use
// std::filesystem instead.
#if defined(Q_OS_UNIX) && !defined(TOVRANE_SCAN_STD_FILESYSTEM)
#define TOVRANE_SCAN_POSIX 1
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#else
#include <filesystem>
#include <system_error>
#endif

namespace {

struct Listing
{
    QStringList files;
    QStringList folders;
    // errno of a listing that broke off part-way; what was read before stays.
    int error = 0;
};

#ifdef TOVRANE_SCAN_POSIX

struct FolderId
{
    dev_t dev = 0;
    ino_t ino = 0;
    bool operator==(const FolderId &) const = default;
};

enum class Kind { Other, File, Folder };

// Links are followed: a link to a file is a file, a link to a folder a
// folder; a broken link, a device, a pipe or a socket is neither.
Kind kindOf(int dirFd, const dirent *entry)
{
    switch (entry->d_type) {
    case DT_REG: return Kind::File;
    case DT_DIR: return Kind::Folder;
    case DT_LNK:
    case DT_UNKNOWN: {
        struct stat st;
        if (::fstatat(dirFd, entry->d_name, &st, 0) != 0)
            return Kind::Other;
        if (S_ISREG(st.st_mode))
            return Kind::File;
        if (S_ISDIR(st.st_mode))
            return Kind::Folder;
        return Kind::Other;
    }
    default: return Kind::Other;
    }
}

class Folder
{
public:
    explicit Folder(const QString &path)
    {
        if (path.isEmpty())
            return;
        m_fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (m_fd < 0)
            return;
        struct stat st;
        if (::fstat(m_fd, &st) != 0) {
            ::close(m_fd);
            m_fd = -1;
            return;
        }
        m_id = { st.st_dev, st.st_ino };
    }
    ~Folder()
    {
        if (m_dir)
            ::closedir(m_dir);
        else if (m_fd >= 0)
            ::close(m_fd);
    }
    Folder(const Folder &) = delete;
    Folder &operator=(const Folder &) = delete;

    bool isOpen() const { return m_fd >= 0; }
    const FolderId &id() const { return m_id; }

    // False when the entries cannot be read at all. With stopAtFirstFile only
    // the first file is taken and no folder.
    bool read(Listing &out, bool stopAtFirstFile)
    {
        if (m_fd < 0 || m_dir)
            return false;
        m_dir = ::fdopendir(m_fd);
        if (!m_dir)
            return false;
        const int fd = ::dirfd(m_dir);
        for (;;) {
            errno = 0;
            const dirent *entry = ::readdir(m_dir);
            if (!entry) {
                out.error = errno;
                break;
            }
            const char *name = entry->d_name;
            if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
                continue;
            const Kind kind = kindOf(fd, entry);
            if (kind == Kind::File) {
                out.files.append(QString::fromLocal8Bit(name, qsizetype(std::strlen(name))));
                if (stopAtFirstFile)
                    return true;
            } else if (kind == Kind::Folder && !stopAtFirstFile) {
                out.folders.append(QString::fromLocal8Bit(name, qsizetype(std::strlen(name))));
            }
        }
        return !(out.error != 0 && out.files.isEmpty() && out.folders.isEmpty());
    }

private:
    int m_fd = -1;
    DIR *m_dir = nullptr;
    FolderId m_id;
};

#else

// Without device and inode numbers a folder is known by its canonical path.
struct FolderId
{
    QString path;
    bool operator==(const FolderId &other) const
    {
#ifdef Q_OS_WIN
        return path.compare(other.path, Qt::CaseInsensitive) == 0;
#else
        return path == other.path;
#endif
    }
};

class Folder
{
public:
    explicit Folder(const QString &path)
    {
        if (path.isEmpty())
            return;
        std::error_code ec;
        m_path = std::filesystem::path(path.toStdU16String());
        if (!std::filesystem::is_directory(m_path, ec) || ec)
            return;
        const std::filesystem::path canonical = std::filesystem::canonical(m_path, ec);
        if (ec)
            return;
        m_id.path = QString::fromStdU16String(canonical.u16string());
        m_open = true;
    }

    bool isOpen() const { return m_open; }
    const FolderId &id() const { return m_id; }

    bool read(Listing &out, bool stopAtFirstFile)
    {
        if (!m_open)
            return false;
        std::error_code ec;
        std::filesystem::directory_iterator it(m_path, ec);
        if (ec)
            return false;
        for (const std::filesystem::directory_iterator end; it != end; it.increment(ec)) {
            std::error_code entryError;
            const bool isFile = it->is_regular_file(entryError);
            const bool isFolder = !isFile && it->is_directory(entryError);
            if (isFile || (isFolder && !stopAtFirstFile)) {
                QString name = QString::fromStdU16String(it->path().filename().u16string());
                (isFile ? out.files : out.folders).append(std::move(name));
                if (isFile && stopAtFirstFile)
                    return true;
            }
        }
        if (ec)
            out.error = EIO;
        return !(out.error != 0 && out.files.isEmpty() && out.folders.isEmpty());
    }

private:
    std::filesystem::path m_path;
    FolderId m_id;
    bool m_open = false;
};

#endif

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

QString childPath(const QString &folder, const QString &name)
{
    if (folder.endsWith(QLatin1Char('/')))
        return folder + name;
    return folder + QLatin1Char('/') + name;
}

// An absolute, clean path with "/" separators: no trailing separator except
// for a root.
QString normalFolderPath(const QString &folder)
{
    return QDir::cleanPath(QFileInfo(QDir::fromNativeSeparators(folder)).absoluteFilePath());
}

class Walker
{
public:
    Walker(const ScanOptions &options, const CErrorlog &log, QList<ClipRow> &out)
        : m_matcher(options.extensions)
        , m_onlyWithoutScript(options.onlyWithoutScript)
        , m_trap(log, QStringLiteral("frmTovrane"), QStringLiteral("ScanFolder"))
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
            const QString path = childPath(top.path, top.folders.at(top.next++));
            visit(path, branch);
        }
    }

private:
    struct Branch
    {
        FolderId id;
        QString path;
        QStringList folders;
        qsizetype next = 0;
    };

    void visit(const QString &path, std::vector<Branch> &branch)
    {
        Folder folder(path);
        if (!folder.isOpen())
            return;
        // A link back to a folder on the way down would never end.
        for (const Branch &b : branch) {
            if (b.id == folder.id())
                return;
        }
        Listing listing;
        if (!folder.read(listing, false) || listing.files.isEmpty())
            return;

        if (listing.error != 0)
            m_trap([&] { throw RuntimeError::fromErrno(listing.error, QDir::toNativeSeparators(path)); });
        m_trap([&] { addClips(path, listing.files); });
        if (!listing.folders.isEmpty()) {
            m_trap([&] {
                std::sort(listing.folders.begin(), listing.folders.end(), nameLess);
                branch.push_back({ folder.id(), path, std::move(listing.folders) });
            });
        }
    }

    void addClips(const QString &path, QStringList &files)
    {
        std::sort(files.begin(), files.end(), nameLess);
        // One location string for all rows of the folder.
        const QString location = QDir::toNativeSeparators(path);
        const QString yes = QStringLiteral("Y");
        const QString no = QStringLiteral("-");
        for (const QString &name : files) {
            if (!m_matcher.matches(extensionOf(name)))
                continue;
            const qsizetype dot = lastDot(name);
            m_scriptName.truncate(0);
            m_scriptName.append(QStringView(name).left(dot < 0 ? name.size() : dot));
            m_scriptName.append(QLatin1String(".avs"));
            const bool scriptExists = std::binary_search(files.cbegin(), files.cend(), m_scriptName, nameLess);
            if (m_onlyWithoutScript && scriptExists)
                continue;
            m_out.append(ClipRow { !scriptExists, name, location, scriptExists ? yes : no });
        }
    }

    ExtensionMatcher m_matcher;
    bool m_onlyWithoutScript;
    ErrorTrap m_trap;
    QList<ClipRow> &m_out;
    QString m_scriptName;
};

} // namespace

QString GetExtension(const QString &fileName)
{
    return extensionOf(fileName).toString();
}

bool IsCorrectExt(const QString &extensionList, const QString &extension)
{
    return ExtensionMatcher(extensionList).matches(extension);
}

bool HasFiles(const QString &folder)
{
    Folder dir(folder);
    Listing listing;
    return dir.read(listing, true) && !listing.files.isEmpty();
}

void ScanFolder(const QString &folder, const ScanOptions &options, const CErrorlog &log, QList<ClipRow> &out)
{
    if (folder.isEmpty())
        return;
    Walker(options, log, out).walk(normalFolderPath(folder));
}

QList<ClipRow> scanFolders(const QStringList &scanFolders, const ScanOptions &options, const CErrorlog &log)
{
    QList<ClipRow> rows;
    const ErrorTrap step(log, QStringLiteral("frmTovrane"), QStringLiteral("cmdScan_Click"));
    for (const QString &item : scanFolders) {
        bool found = false;
        step([&] {
            if (item.isEmpty() || !QFileInfo(item).isDir())
                throw RuntimeError(ErrNum::PathNotFound,
                    RuntimeError::standardDescription(ErrNum::PathNotFound) + QStringLiteral(": ") + item);
            found = true;
        });
        if (found)
            ScanFolder(item, options, log, rows);
    }
    return rows;
}
