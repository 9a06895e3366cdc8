#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>

// Reading one folder straight from the system, for the folder walk: each
// folder once, without a per-file QFileInfo or a stat per script test, which
// would make a large scan several times slower than the listing itself. The
// build picks the system's side (FolderReader.cpp: POSIX; the _windows one:
// Win32).

namespace scan {

struct Listing
{
    // Regular files and links to them: the clips, and scripts.
    QStringList files;
    // Links to anything else, broken ones included: scripts only. A link
    // to a folder stands in `folders` as well.
    QStringList otherLinks;
    QStringList folders;
    // Names that cannot be listed as they are, in UTF-8 where they can be:
    // on POSIX the bytes the system gave, which do not decode; on Windows
    // names the ANSI code page cannot hold.
    QList<QByteArray> badFiles;
    QList<QByteArray> badFolders;
    // errno of a listing that broke off part-way; what was read before stays.
    int error = 0;

    bool hasFiles() const { return !files.isEmpty() || !badFiles.isEmpty(); }
    bool isEmpty() const { return !hasFiles() && otherLinks.isEmpty() && folders.isEmpty() && badFolders.isEmpty(); }
};

// Which real folder one is, whichever way it was reached.
struct FolderId
{
    std::uint64_t device = 0;
    std::uint64_t index = 0;
    bool operator==(const FolderId &) const = default;
};

struct FolderIdHash
{
    std::size_t operator()(const FolderId &id) const noexcept
    {
        return std::hash<std::uint64_t>()(id.index ^ (id.device * 0x9E3779B97F4A7C15u));
    }
};

// False when the name would not come back byte for byte: listed under a
// changed name, a clip would name a file that does not exist, and two names
// could become one.
bool decodeExactly(const char *name, QString &out);

class FolderReader
{
public:
    // Opens the folder at `path`, a link to one followed.
    explicit FolderReader(const QString &path);
    ~FolderReader();
    FolderReader(const FolderReader &) = delete;
    FolderReader &operator=(const FolderReader &) = delete;

    // Whether the system takes two names that differ only in case for one
    // (Windows does, POSIX systems do not).
    static bool namesIgnoreCase();

    bool isOpen() const { return m_state != nullptr; }
    const FolderId &id() const { return m_id; }

    // Adds the folder's entries to `out`, once: links followed to tell a
    // file from a folder; devices, pipes and sockets, and files being
    // written (temporary names), left out. False when the entries cannot be
    // read at all.
    bool read(Listing &out);

private:
    struct State;
    std::unique_ptr<State> m_state;
    FolderId m_id;
};

} // namespace scan
