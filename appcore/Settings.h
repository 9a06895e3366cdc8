#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

namespace appcore {

// The program's settings for the whole run, one typed value per key of the
// [Settings] section of the settings file. Both windows show them and change
// them only here. A change is in force at once and stored at once, one key
// through WriteIniKey, so the file changes by that line and nothing else; a
// store that fails reaches the caller as RuntimeError with the new value
// still in force. `changed` follows every load and every change.
class Settings : public QObject
{
    Q_OBJECT

public:
    enum class Key {
        MainFolder, // the scan folders, '|' between them
        AvsFolder, // the specific script folder
        Extensions, // the clip extensions a scan lists
        Overwrite, // 0 "Always", 1 "Ask"
        BuildScriptsIn, // 0 "Clip folder", 1 "Specific script folder"
        ScriptExtensions, // the script extensions offered, '|' between them
        Splash, // 1: the splash screen is not shown at start
        Mode, // 0 "All for one", 1 "One for All"
        Show, // 1: a scan lists only clips without a script
        Template, // the template loaded at start
    };
    Q_ENUM(Key)

    static const QString Section;
    // The key's name in the file.
    static QString name(Key key);

    explicit Settings(QString iniPath, QObject *parent = nullptr);

    const QString &iniPath() const { return m_iniPath; }

    // Reads one key from the file. A failure leaves the value as it was: a
    // file that cannot be read, or a number that is not one (the
    // description then names the key and its text, so a user can find what
    // to mend), reaches the caller as RuntimeError.
    void load(Key key);

    const QStringList &scanFolders() const { return m_scanFolders; }
    const QString &avsFolder() const { return m_avsFolder; }
    const QString &clipExtensions() const { return m_clipExtensions; }
    qint16 overwrite() const { return m_overwrite; }
    bool askBeforeOverwrite() const { return m_overwrite == 1; }
    qint16 buildScriptsIn() const { return m_buildScriptsIn; }
    bool specificFolder() const { return m_buildScriptsIn == 1; }
    const QStringList &scriptExtensions() const { return m_scriptExtensions; }
    bool splashHidden() const { return m_splash == 1; }
    qint16 mode() const { return m_mode; }
    qint16 show() const { return m_show; }
    const QString &templatePath() const { return m_template; }

    // The script extension the builds and the removal use: the first one
    // offered until another is chosen. Chosen for this run only, never
    // stored; -1 chooses none.
    QString scriptExtension() const { return m_scriptExtensions.value(m_chosenExtension); }
    int chosenExtension() const { return m_chosenExtension; }
    void chooseExtension(int index) { m_chosenExtension = index; }

    // Appends a folder, even one listed already.
    void addScanFolder(const QString &folder);
    void removeScanFolder(qsizetype index);
    void setAvsFolder(const QString &folder);
    void setOverwrite(qint16 value);
    void setBuildScriptsIn(qint16 value);
    void setSplashHidden(bool hidden);
    void setMode(qint16 value);
    void setShow(qint16 value);
    void setTemplatePath(const QString &path);

signals:
    void changed(Settings::Key key);

private:
    // Announces the change of `key`, then stores `text` for it.
    void store(Key key, const QString &text);
    void storeNumber(Key key, qint16 &field, qint16 value);

    QString m_iniPath;
    QStringList m_scanFolders;
    QString m_avsFolder;
    QString m_clipExtensions;
    qint16 m_overwrite = 0;
    qint16 m_buildScriptsIn = 0;
    QStringList m_scriptExtensions;
    int m_chosenExtension = -1;
    qint16 m_splash = 0;
    qint16 m_mode = 0;
    qint16 m_show = 0;
    QString m_template;
};

} // namespace appcore
