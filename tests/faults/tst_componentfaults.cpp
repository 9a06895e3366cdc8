// Broken components and registries met by the update check at start: a
// library that needs a symbol nothing provides, one that answers "success"
// without the interface it was asked for, a FIFO, a folder, a huge file or a
// link where the registry file should be, and no home folder at all. None may
// end or freeze the start: each is a failure that is logged, and the start
// goes on. The regsvr tool refuses the same cases with its error exit codes.

#include "ComBase.h"
#include "ComponentRegistry.h"
#include "ComponentServer.h"
#include "ProgramFolder.h"
#include "RuntimeError.h"
#include "SafeFile.h"
#include "ScriptedDialogs.h"
#include "TestFiles.h"
#include "UpdateCheckInterface.h"
#include "frmStatus.h"

#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace component;

using namespace platform;

using update::frmStatus;

using namespace Qt::StringLiterals;

namespace {

const QString kVerlook = QFileInfo(QStringLiteral(VERLOOK_PATH)).absoluteFilePath();

// The failing results as the error log shows them.
constexpr qint32 kClassNotRegistered = REGDB_E_CLASSNOTREG; // -2147221164
constexpr qint32 kErrorInDll = CO_E_ERRORINDLL; // -2147221497
constexpr qint32 kNoInterface = E_NOINTERFACE; // -2147467262

// Runs the update prompt at start against whatever is registered; what it
// passes on to the start-up's error trap. Nothing may be asked, and the
// window goes whatever happens.
Failure startUpdateCheck()
{
    ScriptedDialogs dialogs;
    // Nothing listens on port 9 of this machine: a working component would
    // answer False at once.
    frmStatus status(ProgramInfo::inFolder(QDir::tempPath()), dialogs, u"http://127.0.0.1:9/dl"_s, u"http://x"_s);
    QSignalSpy unloaded(&status, &QDialog::finished);
    Failure failure;
    try {
        status.Start();
    } catch (const RuntimeError &e) {
        failure = { e.number(), e.description() };
    }
    if (unloaded.count() != 1 || !dialogs.questions.isEmpty())
        failure.description += u" [the window stayed or a question was asked]"_s;
    return failure;
}

struct Run
{
    int exitCode = -1; // -1: crashed or still running after a minute
    QByteArray err;
};

Run runRegsvr(const QStringList &args, const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment(),
    const QString &workingFolder = QString())
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(workingFolder);
    p.start(QStringLiteral(REGSVR_PATH), args);
    Run run;
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return run;
    }
    run.err = p.readAllStandardError();
    if (p.exitStatus() == QProcess::NormalExit)
        run.exitCode = p.exitCode();
    return run;
}

// The environment of a session without a home: no HOME, no XDG_CONFIG_HOME.
QProcessEnvironment withoutHome()
{
    QProcessEnvironment env;
    for (const char *name : { "PATH", "LC_ALL", "ASAN_OPTIONS", "UBSAN_OPTIONS" }) {
        if (qEnvironmentVariableIsSet(name))
            env.insert(QString::fromLatin1(name), qEnvironmentVariable(name));
    }
    env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    return env;
}

// What the toolkit would have made in "/" for a user without a home.
const QStringList kRootFolders { u"/.config"_s, u"/.cache"_s, u"/.local"_s };

} // namespace

class TestComponentFaults : public QObject
{
    Q_OBJECT

    QTemporaryDir m_config;

    QString registryFile() const { return m_config.filePath(u"Kestrelle/components.ini"_s); }

    void registerAsUpdateCheck(const QString &server)
    {
        ComponentClass entry;
        entry.clsid = CLSID_CUpdateCheck;
        entry.name = u"CUpdateCheck"_s;
        entry.serverPath = server;
        entry.threadingModel = u"Apartment"_s;
        QCOMPARE(ComponentRegistry().registerClass(entry), S_OK);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_config.isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
    }

    void cleanup()
    {
        if (!QFile::remove(registryFile()))
            QDir(registryFile()).removeRecursively();
    }

    // A library that needs a function nothing provides would load, and the
    // first call into it would end the process. Bound whole at load time,
    // it fails to load instead, naming the symbol. A server whose objects
    // answer "success" without the interface asked for would be called
    // through a null pointer; that is "no such interface" instead.
    void brokenLibraryIsAFailureToCreate_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<qint32>("number");
        QTest::addColumn<QString>("named"); // in the failure's description and the tool's message
        QTest::addColumn<int>("regsvrExit");
        QTest::newRow("unresolved symbol")
            << QStringLiteral(UNRESOLVEDSERVER_PATH) << kErrorInDll << u"tovrane_function_nothing_provides"_s << 3;
        // It has no DllRegisterServer: the tool's "not self-registering".
        QTest::newRow("success without interface")
            << QStringLiteral(NOOBJECTSERVER_PATH) << kNoInterface << u"_CUpdateCheck"_s << 4;
    }

    void brokenLibraryIsAFailureToCreate()
    {
        QFETCH(QString, server);
        QFETCH(qint32, number);
        QFETCH(QString, named);
        QFETCH(int, regsvrExit);

        registerAsUpdateCheck(server);
        const Failure failure = startUpdateCheck();
        QCOMPARE(failure.number, number);
        QVERIFY2(failure.description.contains(named) && !failure.description.contains(u" [the window"_s),
            qPrintable(failure.description));

        const Run run = runRegsvr({ server });
        QCOMPARE(run.exitCode, regsvrExit);
        QVERIFY2(regsvrExit != 3 || run.err.contains(named.toLatin1()), run.err.constData());
        // The registration is as the test made it: the tool called nothing.
        QCOMPARE(ComponentRegistry().findClass(CLSID_CUpdateCheck).value_or(ComponentClass {}).serverPath, server);
    }

    // Nothing waits on what stands where the registry file should be, nothing
    // swallows a file far too large, and nothing is written there: the class
    // is not registered, the description says why, and the tool refuses to
    // register before it loads anything.
    void unusableRegistryMeansNotRegistered_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("problem");
        QTest::newRow("FIFO") << u"fifo"_s << u" is not a regular file"_s;
        QTest::newRow("folder") << u"folder"_s << u" is not a regular file"_s;
        QTest::newRow("too large") << u"huge"_s << u" is larger than 16777216 bytes"_s;
    }

    void unusableRegistryMeansNotRegistered()
    {
        QFETCH(QString, kind);
        QFETCH(QString, problem);

        ::alarm(120); // a hang would otherwise hold up the whole suite until its timeout
        const auto noAlarm = qScopeGuard([] { ::alarm(0); });
        const QByteArray path = QFile::encodeName(registryFile());
        QVERIFY(QDir().mkpath(m_config.filePath(u"Kestrelle"_s)));
        if (kind == u"fifo")
            QCOMPARE(::mkfifo(path.constData(), 0600), 0);
        else if (kind == u"folder")
            QVERIFY(QDir().mkpath(registryFile()));
        else
            QVERIFY(put(registryFile()) && QFile::resize(registryFile(), 16 * 1024 * 1024 + 1));
        struct stat before;
        QCOMPARE(::lstat(path.constData(), &before), 0);

        const Failure failure = startUpdateCheck();
        QCOMPARE(failure.number, kClassNotRegistered);
        QCOMPARE(failure.description,
            u"Class not registered: %1 (the component registry %2%3)"_s.arg(
                guidToString(CLSID_CUpdateCheck), registryFile(), problem));

        const Run run = runRegsvr({ kVerlook });
        QCOMPARE(run.exitCode, 2);
        QCOMPARE(run.err,
            "regsvr: cannot register " + QFile::encodeName(kVerlook) + ": the component registry " + path
                + problem.toUtf8() + '\n');
        QCOMPARE(runRegsvr({ u"-u"_s, kVerlook }).exitCode, 2);

        struct stat after;
        QCOMPARE(::lstat(path.constData(), &after), 0);
        QVERIFY(after.st_ino == before.st_ino && after.st_mode == before.st_mode && after.st_size == before.st_size);
    }

    // A registry file that is a link (kept with the user's other settings,
    // say) is read through; a registration replaces the link with a file
    // and leaves what it pointed to as it was.
    void registryLinkIsReadButNotWrittenThrough()
    {
        const QString kept = m_config.filePath(u"dotfiles/components.ini"_s);
        QVERIFY(QDir().mkpath(m_config.filePath(u"Kestrelle"_s)));
        QVERIFY(QFile::link(kept, registryFile()));
        {
            // The registration as another session left it, in the kept file.
            qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.filePath(u"elsewhere"_s)));
            const auto back = qScopeGuard([&] { qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path())); });
            QCOMPARE(runRegsvr({ kVerlook }).exitCode, 0);
            QVERIFY(QDir().mkpath(m_config.filePath(u"dotfiles"_s)));
            QVERIFY(QFile::rename(m_config.filePath(u"elsewhere/Kestrelle/components.ini"_s), kept));
        }
        const QByteArray keptBytes = readBytes(kept);
        QCOMPARE(ComponentRegistry().findClass(CLSID_CUpdateCheck).value_or(ComponentClass {}).serverPath, kVerlook);

        QCOMPARE(runRegsvr({ u"-u"_s, kVerlook }).exitCode, 0);
        QCOMPARE(SafeFile::entryAt(registryFile()), SafeFile::Entry::File);
        QVERIFY(!ComponentRegistry().findClass(CLSID_CUpdateCheck));
        QCOMPARE(readBytes(kept), keptBytes);
    }

    // Without HOME and XDG_CONFIG_HOME there is no per-user registry. The
    // toolkit would put one in "/.config"; instead the tool says there is
    // none, and the program logs "Class not registered" and runs on.
    // Nothing appears in "/" (writable here when the tests run as root).
    void noHomeMeansNoRegistry()
    {
        QStringList absentBefore;
        for (const QString &folder : kRootFolders) {
            if (!QFileInfo::exists(folder))
                absentBefore << folder;
        }
        // Should the code under test make one after all, the test fails and
        // takes it away again.
        const auto tidy = qScopeGuard([&] {
            for (const QString &made : absentBefore)
                QDir(made).removeRecursively();
        });

        const QProcessEnvironment env = withoutHome();
        const QString current = m_config.filePath(u"current"_s);
        QVERIFY(QDir().mkpath(current));
        for (const QString &relative : { QString(), u"relative"_s }) {
            QProcessEnvironment run = env;
            if (!relative.isEmpty())
                run.insert(u"XDG_CONFIG_HOME"_s, relative); // not a folder by the XDG rules
            const Run regsvr = runRegsvr({ kVerlook }, run, current);
            QCOMPARE(regsvr.exitCode, 2);
            QCOMPARE(regsvr.err,
                "regsvr: cannot register " + QFile::encodeName(kVerlook)
                    + ": there is no per-user component registry: neither HOME nor XDG_CONFIG_HOME is set\n");
        }

        // The program as delivered, settings included, so that the update
        // check is all it has to log.
        ProgramFolder folder;
        const QDir delivered = QFileInfo(QStringLiteral(TOVRANE_PATH)).dir();
        for (const QString &file : { u"tovrane"_s, u"Settings.ini"_s })
            QVERIFY(QFile::copy(delivered.filePath(file), folder.file(file)));
        QProcess program;
        program.setProcessEnvironment(env);
        program.setWorkingDirectory(folder.path());
        program.start(folder.file(u"tovrane"_s), {});
        QVERIFY(program.waitForStarted());
        const auto stop = qScopeGuard([&] {
            program.kill();
            program.waitForFinished();
        });
        QTRY_VERIFY_WITH_TIMEOUT(!folder.logRecords().isEmpty() || program.state() != QProcess::Running, 60000);
        QCOMPARE(folder.logRecords(), QStringList { u"Form_Load -2147221164"_s });
        const QByteArray log = logText(folder.path());
        QVERIFY2(log.contains("Class not registered: " + guidToString(CLSID_CUpdateCheck).toLatin1()
                     + " (there is no per-user component registry: neither HOME nor XDG_CONFIG_HOME is set)"),
            log.constData());
        // It runs on.
        QVERIFY(!program.waitForFinished(500));
        QCOMPARE(program.state(), QProcess::Running);

        for (const QString &made : absentBefore)
            QVERIFY2(!QFileInfo::exists(made), qPrintable(made + u" was made"_s));
        QCOMPARE(tree(current), QStringList());
    }
};

QTEST_MAIN(TestComponentFaults)
#include "tst_componentfaults.moc"
