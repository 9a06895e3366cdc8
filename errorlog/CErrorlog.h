#pragma once

#include <QDateTime>
#include <QString>

namespace errorlog {

// Appends run-time failures to a daily log file, one six-line record per
// failure. Failures are never shown to the user.
class CErrorlog
{
public:
    // logFolder: where the log files go (the program's folder, or the
    // user's state folder for an installed program); exeName: the
    // executable's name without extension, which starts every log file's name.
    CErrorlog(QString logFolder, QString exeName);

    // Appends one record to <exeName>_YYYYMMDD.log (the date of dDatestamp).
    // A log that cannot be written loses the record silently: logging must
    // never become a failure of its own.
    void LogError(qint32 lErrNum, const QString &sDesc, const QDateTime &dDatestamp, const QString &sSourceMod,
        const QString &sSourceProc) const noexcept;

    // A folder path with a trailing separator; an empty path stays empty.
    static QString Bracket(const QString &sPath);

    // The file LogError writes for a given moment.
    QString logFilePath(const QDateTime &dDatestamp) const;

    // The exact bytes of one record, its final line end included.
    static QByteArray record(qint32 lErrNum, const QString &sDesc, const QDateTime &dDatestamp,
        const QString &sSourceMod, const QString &sSourceProc);

private:
    QString m_logFolder;
    QString m_exeName;
};

} // namespace errorlog
