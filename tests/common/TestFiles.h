#pragma once

#include "TestSystem.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QStringList>

// A file's bytes; "<missing>" when it cannot be read, so that a missing file
// never passes for an empty one.
inline QByteArray readBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Writes `bytes` to `path`, making the folders above it.
inline bool put(const QString &path, const QByteArray &bytes = {})
{
    QFile f(path);
    return QDir().mkpath(QFileInfo(path).path()) && f.open(QIODevice::WriteOnly | QIODevice::Truncate)
        && f.write(bytes) == bytes.size();
}

// Every entry below `folder`, hidden ones, links and FIFOs included, as
// sorted paths relative to it.
inline QStringList tree(const QString &folder)
{
    QStringList all;
    QDirIterator it(
        folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext())
        all << it.next().mid(folder.size() + 1);
    all.sort();
    return all;
}

// Everything the error logs in `folder` hold.
inline QByteArray logText(const QString &folder)
{
    QByteArray all;
    for (const QString &name : QDir(folder).entryList({ QStringLiteral("*.log") }, QDir::Files, QDir::Name))
        all += readBytes(folder + QLatin1Char('/') + name);
    return all;
}

// "procedure number" of each record in the error logs in `folder`, in order.
inline QStringList logRecords(const QString &folder)
{
    QStringList records;
    QString procedure;
    for (const QByteArray &line : logText(folder).split('\n')) {
        if (line.startsWith("Source procedure\t: "))
            procedure = QString::fromLocal8Bit(line.mid(19).trimmed());
        else if (line.startsWith("Err. Number     \t: "))
            records << procedure + QLatin1Char(' ') + QString::fromLatin1(line.mid(19).trimmed());
    }
    return records;
}
