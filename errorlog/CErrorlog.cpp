#include "CErrorlog.h"

#include "FolderPath.h"
#include "SafeFile.h"

#include <QDir>

namespace SafeFile = platform::SafeFile;

namespace errorlog {

CErrorlog::CErrorlog(QString logFolder, QString exeName)
    : m_logFolder(std::move(logFolder))
    , m_exeName(std::move(exeName))
{ }

QString CErrorlog::Bracket(const QString &sPath)
{
    if (sPath.isEmpty() || platform::endsWithSeparator(sPath))
        return sPath;
    return sPath + QDir::separator();
}

QString CErrorlog::logFilePath(const QDateTime &dDatestamp) const
{
    return Bracket(m_logFolder) + m_exeName + QLatin1Char('_') + dDatestamp.date().toString(QStringLiteral("yyyyMMdd"))
        + QStringLiteral(".log");
}

QByteArray CErrorlog::record(qint32 lErrNum, const QString &sDesc, const QDateTime &dDatestamp,
    const QString &sSourceMod, const QString &sSourceProc)
{
    static const QString crlf = QStringLiteral("\r\n");
    const QString text = QStringLiteral("Time            \t: ") + dDatestamp.time().toString(QStringLiteral("HH:mm:ss"))
        + crlf + QStringLiteral("Source module   \t: ") + sSourceMod + crlf + QStringLiteral("Source procedure\t: ")
        + sSourceProc + crlf + QStringLiteral("Err. Number     \t: ") + QString::number(lErrNum) + crlf
        + QStringLiteral("Err. Description\t: ") + sDesc + crlf + QStringLiteral("----------------") + crlf;
    return text.toLocal8Bit();
}

void CErrorlog::LogError(qint32 lErrNum, const QString &sDesc, const QDateTime &dDatestamp, const QString &sSourceMod,
    const QString &sSourceProc) const noexcept
{
    try {
        // A log that is a link, a FIFO or anything but a file is passed by:
        // waiting on it would freeze the program, writing through it would
        // reach outside the program's folder.
        SafeFile::appendToFile(logFilePath(dDatestamp), record(lErrNum, sDesc, dDatestamp, sSourceMod, sSourceProc));
    } catch (...) {
        // Nowhere left to report it: the record is lost, the program goes on.
    }
}

} // namespace errorlog
