#include "ExecutablePath.h"

#include "TextEncoding.h"

#include <QByteArray>
#include <QFile>

#include <unistd.h>

using platform::escapedBytes;

QString executableFolderProblem()
{
    // The executable's path as the system holds it, byte for byte.
    QByteArray exe(4096, Qt::Uninitialized);
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", exe.data(), size_t(exe.size()));
        if (n < 0)
            return QStringLiteral("its own folder cannot be found");
        if (n < exe.size()) {
            exe.truncate(n);
            break;
        }
        exe.resize(exe.size() * 2);
    }
    const QByteArray nativeFolder = exe.left(exe.lastIndexOf('/'));
    if (QFile::encodeName(QFile::decodeName(nativeFolder)) != nativeFolder)
        return QStringLiteral("the name of its folder is not valid in the system's encoding: ")
            + escapedBytes(nativeFolder);
    return {};
}
