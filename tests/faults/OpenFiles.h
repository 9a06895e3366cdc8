#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

// A regular file that a process holds open directly in a folder: its path as
// the system shows it ("<folder>/#123 (deleted)" for a file without a name)
// and its size at that moment; an empty path when there is none.
struct OpenFile
{
    QString path;
    qint64 size = -1;
};

// Read from /proc, so that a file being written is seen whatever name it
// has, or none. `except` (a full path) is passed over.
inline OpenFile openFileIn(qint64 pid, const QString &folder, const QString &except = {})
{
    const QByteArray fds = "/proc/" + QByteArray::number(pid) + "/fd/";
    const QString prefix = folder + QLatin1Char('/');
    DIR *dir = ::opendir(fds.constData());
    if (!dir)
        return {};
    OpenFile found;
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArray link = fds + entry->d_name;
        char target[8192];
        const ssize_t n = ::readlink(link.constData(), target, sizeof target);
        if (n <= 0)
            continue;
        const QString path = QFile::decodeName(QByteArray(target, n));
        if (!path.startsWith(prefix) || path.indexOf(QLatin1Char('/'), prefix.size()) >= 0 || path == except)
            continue;
        struct stat st;
        if (::stat(link.constData(), &st) == 0 && S_ISREG(st.st_mode)) {
            found = { path, st.st_size };
            break;
        }
    }
    ::closedir(dir);
    return found;
}
