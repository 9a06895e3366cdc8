#pragma once

#include "ProgramInfo.h"
#include "TestFiles.h"

#include <QTemporaryDir>

// A throw-away program folder: the delivered files beside a pretend
// executable, and what the program wrote there.
class ProgramFolder
{
public:
    ProgramFolder()
    {
        write(QStringLiteral("Templates/Default.avs"), "# default\r\nBlur(1.0)\r\n");
        write(QStringLiteral("Filters.txt"), "Blur\r\nCrop\r\nConvertToYV12\r\n");
    }

    QString path() const { return m_dir.path(); }
    QString file(const QString &relative) const { return m_dir.filePath(relative); }
    appcore::ProgramInfo info() const { return appcore::ProgramInfo::inFolder(path()); }
    void write(const QString &relative, const QByteArray &bytes) const { put(file(relative), bytes); }
    QByteArray read(const QString &relative) const { return readBytes(file(relative)); }
    // "procedure number" of each record in the error logs.
    QStringList logRecords() const { return ::logRecords(path()); }

private:
    QTemporaryDir m_dir;
};
