#pragma once

#include "ProgramInfo.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <utility>

// A throw-away program folder: the delivered files beside a pretend
// executable, plus helpers to read what the program wrote there.
class ProgramFolder
{
public:
    ProgramFolder()
    {
        QDir(m_dir.path()).mkpath(QStringLiteral("Templates"));
        write(QStringLiteral("Templates/Default.avs"), "# default\r\nBlur(1.0)\r\n");
        write(QStringLiteral("Filters.txt"), "Blur\r\nCrop\r\nConvertToYV12\r\n");
    }

    QString path() const { return m_dir.path(); }
    QString file(const QString &relative) const { return m_dir.filePath(relative); }
    ProgramInfo info() const { return ProgramInfo::inFolder(m_dir.path()); }

    void write(const QString &relative, const QByteArray &bytes) const
    {
        QFile f(file(relative));
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            f.write(bytes);
    }
    QByteArray read(const QString &relative) const
    {
        QFile f(file(relative));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void remove(const QString &relative) const { QFile::remove(file(relative)); }

    // (procedure, error number) of every record in today's error logs.
    QList<std::pair<QString, int>> logRecords() const
    {
        QList<std::pair<QString, int>> records;
        for (const QString &name : QDir(path()).entryList({QStringLiteral("*.log")}, QDir::Files, QDir::Name)) {
            QString procedure;
            for (const QByteArray &line : read(name).split('\n')) {
                if (line.startsWith("Source procedure\t: "))
                    procedure = QString::fromLocal8Bit(line.mid(19).trimmed());
                else if (line.startsWith("Err. Number     \t: "))
                    records.append({procedure, line.mid(19).trimmed().toInt()});
            }
        }
        return records;
    }
    void clearLogs() const
    {
        for (const QString &name : QDir(path()).entryList({QStringLiteral("*.log")}, QDir::Files))
            remove(name);
    }

private:
    QTemporaryDir m_dir;
};
