// The settings both windows share: what a load makes of the file's text,
// that each change rewrites its own line and no other byte, and that every
// load and change is announced.
#include "../common/TestFiles.h"
#include "RuntimeError.h"
#include "Settings.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace errorlog;

using namespace appcore;

using namespace Qt::StringLiterals;
using Key = Settings::Key;

namespace {

// The error `work` fails with; {0, ""} when it does not fail.
template <typename Work> std::pair<qint32, QString> failure(Work work)
{
    try {
        work();
    } catch (const RuntimeError &e) {
        return { e.number(), e.description() };
    }
    return { 0, QString() };
}

QList<Key> announced(const QSignalSpy &spy)
{
    QList<Key> keys;
    for (const QList<QVariant> &call : spy)
        keys << call.at(0).value<Key>();
    return keys;
}

constexpr Key AllKeys[] = { Key::MainFolder, Key::AvsFolder, Key::Extensions, Key::Overwrite, Key::BuildScriptsIn,
    Key::ScriptExtensions, Key::Splash, Key::Mode, Key::Show, Key::Template };

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    const QString m_ini = m_dir.filePath(u"Settings.ini"_s);

    void loadAll(Settings &settings) const
    {
        for (const Key key : AllKeys)
            settings.load(key);
    }

private slots:
    void init() { QFile::remove(m_ini); }

    void loadGivesTypedValues()
    {
        QVERIFY(put(m_ini,
            "[Settings]\r\nMainFolder=/a||/b c\r\nAvsFolder=/out\r\nExtenions=AVI|MPG\r\nOverwrite=1\r\n"
            "BuildScriptsIn=1\r\nScriptExtensions=avsi|AVS\r\nSplash=1\r\nMode=0\r\nShow=-1\r\n"
            "Template=/t/Mine.avt\r\n[Window]\r\nMode=1\r\n"));
        Settings settings(m_ini);
        QSignalSpy spy(&settings, &Settings::changed);
        loadAll(settings);
        QCOMPARE(announced(spy), QList<Key>(std::begin(AllKeys), std::end(AllKeys)));
        // An empty name between two separators is a folder of its own.
        QCOMPARE(settings.scanFolders(), (QStringList { u"/a"_s, QString(), u"/b c"_s }));
        QCOMPARE(settings.avsFolder(), u"/out"_s);
        QCOMPARE(settings.clipExtensions(), u"AVI|MPG"_s);
        QVERIFY(settings.askBeforeOverwrite() && settings.specificFolder() && settings.splashHidden());
        QCOMPARE(settings.scriptExtensions(), (QStringList { u"avsi"_s, u"AVS"_s }));
        QCOMPARE(settings.scriptExtension(), u"avsi"_s);
        QCOMPARE(settings.mode(), 0);
        QCOMPARE(settings.show(), -1);
        QCOMPARE(settings.templatePath(), u"/t/Mine.avt"_s);

        // The choice among the extensions is never stored, and a store keeps it.
        const QByteArray before = readBytes(m_ini);
        settings.chooseExtension(1);
        QCOMPARE(settings.scriptExtension(), u"AVS"_s);
        QCOMPARE(readBytes(m_ini), before);
        settings.setMode(1);
        QCOMPARE(settings.scriptExtension(), u"AVS"_s);
        // Reloading the list chooses its first one again.
        settings.load(Key::ScriptExtensions);
        QCOMPARE(settings.scriptExtension(), u"avsi"_s);
    }

    // Nothing stored: no folder, no extension to choose, and each number
    // refused as no number at all (the first start logs these), its value 0.
    // The read made an empty file, as the writer would.
    void loadOfAnEmptyFile()
    {
        Settings settings(m_ini);
        QStringList refused;
        for (const Key key : AllKeys) {
            if (const auto [number, description] = failure([&] { settings.load(key); }); number != 0)
                refused << QString::number(number) + u' ' + description;
        }
        QCOMPARE(refused,
            (QStringList { u"13 Type mismatch: Overwrite="_s, u"13 Type mismatch: BuildScriptsIn="_s,
                u"13 Type mismatch: Splash="_s, u"13 Type mismatch: Mode="_s, u"13 Type mismatch: Show="_s }));
        QCOMPARE(readBytes(m_ini), QByteArray());
        QVERIFY(settings.scanFolders().isEmpty() && settings.scriptExtensions().isEmpty());
        QCOMPARE(settings.scriptExtension(), QString());
        QCOMPARE(settings.chosenExtension(), -1);
        QVERIFY(!settings.askBeforeOverwrite() && !settings.specificFolder() && !settings.splashHidden());
        QCOMPARE(settings.mode(), 0);
        QCOMPARE(settings.show(), 0);
    }

    // A number that is none is refused naming key and text, and the value
    // stays as it was; a number out of range likewise.
    void badNumbersKeepTheValue()
    {
        QVERIFY(put(m_ini, "[Settings]\r\nMode=1\r\nOverwrite=1\r\n"));
        Settings settings(m_ini);
        settings.load(Key::Mode);
        settings.load(Key::Overwrite);
        QVERIFY(put(m_ini, "[Settings]\r\nMode=fast\r\nOverwrite=40000\r\n"));
        QSignalSpy spy(&settings, &Settings::changed);
        QCOMPARE(failure([&] { settings.load(Key::Mode); }), std::pair(13, u"Type mismatch: Mode=fast"_s));
        QCOMPARE(failure([&] { settings.load(Key::Overwrite); }), std::pair(6, u"Overflow: Overwrite=40000"_s));
        QCOMPARE(settings.mode(), 1);
        QVERIFY(settings.askBeforeOverwrite());
        QCOMPARE(spy.count(), 0);
    }

    // Each change rewrites its key's line and nothing else: other keys,
    // other sections and the order stay; a key not there yet goes first in
    // its section.
    void changesStoreExactlyTheirLine()
    {
        const QByteArray head = "; kept\r\n[Window]\r\nWidth=900\r\nMode=7\r\n\r\n[Settings]\r\n";
        QVERIFY(put(m_ini, head + "MainFolder=/a\r\nMode=0\r\nShow=0\r\nOverwrite=0\r\n"));
        Settings settings(m_ini);
        for (const Key key : { Key::MainFolder, Key::Mode, Key::Show, Key::Overwrite })
            settings.load(key);
        QSignalSpy spy(&settings, &Settings::changed);

        settings.addScanFolder(u"/b"_s);
        settings.addScanFolder(u"/a"_s); // listed already: added all the same
        QCOMPARE(readBytes(m_ini), head + "MainFolder=/a|/b|/a\r\nMode=0\r\nShow=0\r\nOverwrite=0\r\n");
        settings.removeScanFolder(0);
        settings.removeScanFolder(5); // no such folder: nothing happens
        QCOMPARE(settings.scanFolders(), (QStringList { u"/b"_s, u"/a"_s }));
        settings.setMode(1);
        settings.setShow(1);
        settings.setOverwrite(1);
        QCOMPARE(readBytes(m_ini), head + "MainFolder=/b|/a\r\nMode=1\r\nShow=1\r\nOverwrite=1\r\n");
        settings.setSplashHidden(true);
        settings.setAvsFolder(u"/out put"_s);
        QCOMPARE(readBytes(m_ini),
            head + "AvsFolder=/out put\r\nSplash=1\r\nMainFolder=/b|/a\r\nMode=1\r\nShow=1\r\nOverwrite=1\r\n");
        settings.setSplashHidden(false);
        settings.setBuildScriptsIn(0);
        settings.setTemplatePath(u"/t/x.avt"_s);
        settings.removeScanFolder(1);
        settings.removeScanFolder(0);
        QCOMPARE(readBytes(m_ini),
            head
                + "Template=/t/x.avt\r\nBuildScriptsIn=0\r\nAvsFolder=/out put\r\nSplash=0\r\nMainFolder=\r\n"
                  "Mode=1\r\nShow=1\r\nOverwrite=1\r\n");
        QCOMPARE(announced(spy),
            (QList<Key> { Key::MainFolder, Key::MainFolder, Key::MainFolder, Key::Mode, Key::Show, Key::Overwrite,
                Key::Splash, Key::AvsFolder, Key::Splash, Key::BuildScriptsIn, Key::Template, Key::MainFolder,
                Key::MainFolder }));

        // What was stored is what the next run loads.
        Settings next(m_ini);
        loadAll(next);
        QVERIFY(next.scanFolders().isEmpty() && next.askBeforeOverwrite() && !next.splashHidden());
        QCOMPARE(next.avsFolder(), u"/out put"_s);
        QCOMPARE(next.templatePath(), u"/t/x.avt"_s);
        QCOMPARE(next.mode(), 1);
        QCOMPARE(next.show(), 1);
    }

    // A change that cannot be stored is in force all the same, and
    // announced; the failure reaches the caller.
    void aFailedStoreKeepsTheChange()
    {
        QVERIFY(QDir(m_dir.path()).mkpath(u"Settings.ini"_s));
        const auto cleanUp = qScopeGuard([&] { QDir(m_ini).removeRecursively(); });
        Settings settings(m_ini);
        QSignalSpy spy(&settings, &Settings::changed);
        QVERIFY(failure([&] { settings.addScanFolder(u"/v"_s); }).first != 0);
        QVERIFY(failure([&] { settings.setOverwrite(1); }).first != 0);
        QCOMPARE(settings.scanFolders(), QStringList { u"/v"_s });
        QVERIFY(settings.askBeforeOverwrite());
        QCOMPARE(announced(spy), (QList<Key> { Key::MainFolder, Key::Overwrite }));
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
