#pragma once

// The system's own file handle, chosen by the build.
#include TOVRANE_FILE_DESCRIPTOR_HEADER

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace platform {

// Whole-file reads and writes that a hostile folder cannot turn against the
// user: only regular files are opened, never in a way that can block (a FIFO
// or a device named like a setting or a script); nothing is written through a
// symbolic link (the link itself is replaced, its target left alone); a file
// is written completely beside its place (without a name, or under a hidden
// temporary one) and then put there in one step, so a full disk or a killed
// process never leaves a torn file; and reads are bounded.
namespace SafeFile {

// No text file the program reads is anywhere near this; a bigger one was
// picked by mistake and would freeze the program while it is swallowed.
inline constexpr qint64 MaxTextBytes = 16 * 1024 * 1024;

// What stands at a path, links not followed.
enum class Entry { Missing, File, Link, Folder, Other };
Entry entryAt(const QString &path);

// A regular file or a symbolic link (to anything, or dangling) stands at
// `path`: what counts as a script that already exists.
bool fileOrLinkExists(const QString &path);

struct Result
{
    enum Failure { None, System, NotRegularFile, TooLarge };
    Failure failure = None;
    int error = 0; // errno, for System

    bool ok() const { return failure == None; }
    // 0 is success.
    static Result fromErrno(int err) { return err == 0 ? Result {} : Result { System, err }; }
};

// Whether the errno value `err` says the disk (or the user's share of it,
// or the largest file it takes) is full.
bool meansDiskFull(int err);

// Reads the regular file at `path` (a link to one is followed) whole. A FIFO,
// socket, device or folder is refused without waiting on it, and so is a file
// larger than maxBytes.
Result readFile(const QString &path, QByteArray &bytes, qint64 maxBytes = MaxTextBytes);

// Makes sure a regular file stands at `path`, creating it empty when nothing
// does, and makes a regular file readable and writable by its owner (a link is
// left as it is: the next replaceFile swaps it for a file).
Result prepareFile(const QString &path);

enum class Durability { Unsynced, Synced };

// Whether `name` (a name within a folder) is one a file has while it is being
// written: hidden, and never the name of a clip or a script.
bool isTemporaryName(QByteArrayView name);

// Removes from `folder` the temporary files that no writer holds any more:
// what a process killed in the middle of a write left behind. A file another
// writer is still writing is left alone. Returns how many were removed.
int removeStaleTemporaries(const QString &folder);

// A new file in the making, in the folder where it will go, and put under its
// name only once complete: whatever becomes of the writer, nothing
// incomplete ever stands under that name. It has no name meanwhile where the
// file system allows, so that nothing of it outlives a killed writer;
// elsewhere a hidden temporary name, held locked by its writer (what a killed
// writer leaves under such a name, removeStaleTemporaries removes).
// Destroying it unfinished removes what was written.
class PendingFile
{
public:
    PendingFile() = default;
    ~PendingFile() { discard(); }
    PendingFile(const PendingFile &) = delete;
    PendingFile &operator=(const PendingFile &) = delete;

    // Starts the file in `folder` ("" is the current folder).
    Result create(const QString &folder);
    bool isOpen() const { return m_fd.isOpen(); }
    Result append(const QByteArray &bytes);
    // Puts the file at `path`, in the folder it was created in, but never
    // over anything that stands there: that gives EEXIST, and the file stays
    // pending so that another name can be tried.
    Result publish(const QString &path, Durability durability = Durability::Unsynced);
    // Removes the file: nothing of it stays behind.
    void discard();

private:
    friend Result replaceFile(const QString &, const QByteArray &, Durability);
    friend Result createFile(const QString &, const QByteArray &, Durability);
    enum class Naming { Anonymous, Named };
    // `nativeFolder` ends in "/" or is "" (the current folder).
    Result open(const NativePath &nativeFolder, int mode, Naming naming);
    Result finish(Durability durability);
    Result closeAfterPublishing(const NativePath &path);
    // Writes a file beside `path` and renames it over what stands there.
    // keepMode >= 0 gives the permission bits of a file being replaced; the
    // file beside stays private until it has them.
    Result swapInto(const NativePath &path, const QByteArray &bytes, Durability durability, int keepMode);

    NativePath m_path; // the temporary name; "" for a file without one
    FileIdentity m_named = {}; // the file under that name
    FileDescriptor m_fd;
    bool m_finished = false;
};

// Puts `bytes` at `path` as a regular file. A new file is written as a
// PendingFile and put there only when complete; should something appear there
// meanwhile, it is replaced as an existing one would be. An existing file or
// link is replaced by a file written beside it and renamed over it: a failure
// leaves it byte for byte as it was. An existing file keeps its permissions;
// one its owner may not write is refused, as opening it for writing would be.
// Where the folder refuses the file beside (a folder the user may not write,
// or a shared one whose sticky bit keeps others' files from being replaced),
// a writable existing file (not a link) is written in place, as a plain
// overwrite would. Anything else standing there (a folder, FIFO, socket or
// device) is refused untouched. Synced waits for the disk before the file is
// put in place, for files whose loss would cost the user settings.
Result replaceFile(const QString &path, const QByteArray &bytes, Durability durability = Durability::Unsynced);

// Puts `bytes` at `path` as a new regular file, written as a PendingFile and
// put there only when complete; never over anything that stands there, even
// what appeared while it was written: that gives EEXIST.
Result createFile(const QString &path, const QByteArray &bytes, Durability durability = Durability::Unsynced);

// Appends to the regular file at `path`, creating it; a link or anything but
// a regular file is refused without waiting on it.
Result appendToFile(const QString &path, const QByteArray &bytes);

} // namespace SafeFile

} // namespace platform
