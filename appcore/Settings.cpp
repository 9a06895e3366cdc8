#include "Settings.h"

#include "RuntimeError.h"
#include "mGlobal.h"

#include <utility>

using errorlog::RuntimeError;

namespace appcore {

namespace {

const QChar ListSeparator = QLatin1Char('|');

// Splits a stored list; an empty value holds no item at all.
QStringList splitList(const QString &value)
{
    return value.isEmpty() ? QStringList() : value.split(ListSeparator);
}

} // namespace

const QString Settings::Section = QStringLiteral("Settings");

QString Settings::name(Key key)
{
    switch (key) {
    case Key::MainFolder: return QStringLiteral("MainFolder");
    case Key::AvsFolder: return QStringLiteral("AvsFolder");
    // Spelt so in every settings file there is.
    case Key::Extensions: return QStringLiteral("Extenions");
    case Key::Overwrite: return QStringLiteral("Overwrite");
    case Key::BuildScriptsIn: return QStringLiteral("BuildScriptsIn");
    case Key::ScriptExtensions: return QStringLiteral("ScriptExtensions");
    case Key::Splash: return QStringLiteral("Splash");
    case Key::Mode: return QStringLiteral("Mode");
    case Key::Show: return QStringLiteral("Show");
    case Key::Template: return QStringLiteral("Template");
    }
    return QString();
}

Settings::Settings(QString iniPath, QObject *parent)
    : QObject(parent)
    , m_iniPath(std::move(iniPath))
{ }

void Settings::load(Key key)
{
    const QString text = ReadIniKey(m_iniPath, Section, name(key));
    const auto number = [&] {
        try {
            return CInt(text);
        } catch (const RuntimeError &e) {
            throw RuntimeError(
                e.number(), e.description() + QStringLiteral(": ") + name(key) + QStringLiteral("=") + text);
        }
    };
    switch (key) {
    case Key::MainFolder: m_scanFolders = splitList(text); break;
    case Key::AvsFolder: m_avsFolder = text; break;
    case Key::Extensions: m_clipExtensions = text; break;
    case Key::Overwrite: m_overwrite = number(); break;
    case Key::BuildScriptsIn: m_buildScriptsIn = number(); break;
    case Key::ScriptExtensions:
        m_scriptExtensions = splitList(text);
        m_chosenExtension = m_scriptExtensions.isEmpty() ? -1 : 0;
        break;
    case Key::Splash: m_splash = number(); break;
    case Key::Mode: m_mode = number(); break;
    case Key::Show: m_show = number(); break;
    case Key::Template: m_template = text; break;
    }
    emit changed(key);
}

void Settings::store(Key key, const QString &text)
{
    emit changed(key);
    WriteIniKey(m_iniPath, Section, name(key), text);
}

void Settings::storeNumber(Key key, qint16 &field, qint16 value)
{
    field = value;
    store(key, QString::number(value));
}

void Settings::addScanFolder(const QString &folder)
{
    m_scanFolders.append(folder);
    store(Key::MainFolder, m_scanFolders.join(ListSeparator));
}

void Settings::removeScanFolder(qsizetype index)
{
    if (index < 0 || index >= m_scanFolders.size())
        return;
    m_scanFolders.removeAt(index);
    store(Key::MainFolder, m_scanFolders.join(ListSeparator));
}

void Settings::setAvsFolder(const QString &folder)
{
    m_avsFolder = folder;
    store(Key::AvsFolder, folder);
}

void Settings::setOverwrite(qint16 value)
{
    storeNumber(Key::Overwrite, m_overwrite, value);
}

void Settings::setBuildScriptsIn(qint16 value)
{
    storeNumber(Key::BuildScriptsIn, m_buildScriptsIn, value);
}

void Settings::setSplashHidden(bool hidden)
{
    storeNumber(Key::Splash, m_splash, hidden ? 1 : 0);
}

void Settings::setMode(qint16 value)
{
    storeNumber(Key::Mode, m_mode, value);
}

void Settings::setShow(qint16 value)
{
    storeNumber(Key::Show, m_show, value);
}

void Settings::setTemplatePath(const QString &path)
{
    m_template = path;
    store(Key::Template, path);
}

} // namespace appcore
