#pragma once

#include <QByteArray>
#include <QString>

// Whole-file reads and writes that a hostile folder cannot turn against the
// user: only regular files are opened, never in a way that can block (a FIFO
// or a device named like a setting or a script); nothing is written through a
// symbolic link (the link itself is replaced, its target left alone); a file
// that replaces another is written completely beside it and then renamed into
// place, so a full disk or a killed process never leaves a torn file; and
// reads are bounded.
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

// Reads the regular file at `path` (a link to one is followed) whole. A FIFO,
// socket, device or folder is refused without waiting on it, and so is a file
// larger than maxBytes.
Result readFile(const QString &path, QByteArray &bytes, qint64 maxBytes = MaxTextBytes);

// Makes sure a regular file stands at `path`, creating it empty when nothing
// does, and makes a regular file readable and writable by its owner (a link is
// left as it is: the next replaceFile swaps it for a file).
Result prepareFile(const QString &path);

enum class Durability { Unsynced, Synced };

// Puts `bytes` at `path` as a regular file. Where nothing stands yet the file
// is created exclusively and removed again if it cannot be written whole.
// An existing file or link is replaced by a file written beside it and
// renamed over it: a failure leaves it byte for byte as it was. An existing
// file keeps its permissions; one its owner may not write is refused, as
// opening it for writing would be. Anything else standing there (a folder,
// FIFO, socket or device) is refused untouched. Synced waits for the disk
// before the rename, for files whose loss would cost the user settings.
Result replaceFile(const QString &path, const QByteArray &bytes, Durability durability = Durability::Unsynced);

// Appends to the regular file at `path`, creating it; a link or anything but
// a regular file is refused without waiting on it.
Result appendToFile(const QString &path, const QByteArray &bytes);

} // namespace SafeFile
