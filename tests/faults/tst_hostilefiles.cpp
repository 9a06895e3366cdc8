// Real hostile file systems: links where scripts go, FIFOs where files are
// read and written, a disk that fills up, a writer killed half-way, files in
// an old code page, files far too large, and a program folder whose name is
// not valid text.
#include "BurstValue.h"
#include "ErrorTrap.h"
#include "RuntimeError.h"
#include "SafeFile.h"
#include "ScriptBuild.h"
#include "ScriptRemoval.h"
#include "TemplateFile.h"
#include "TestFiles.h"
#include "TestSystem.h"
#include "mGlobal.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <numeric>
#include <vector>

#include <fcntl.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace platform;

using namespace scriptgen;

using namespace errorlog;

using namespace scan;

using namespace appcore;

using namespace Qt::StringLiterals;

namespace {

bool isLink(const QString &path)
{
    return SafeFile::entryAt(path) == SafeFile::Entry::Link;
}

// The number of the RuntimeError that `work` throws; 0 when none.
template <typename Work> int refused(Work &&work)
{
    try {
        work();
    } catch (const RuntimeError &e) {
        return e.number();
    }
    return 0;
}

ClipRow clip(const QString &file, const QString &location)
{
    return ClipRow { true, file, location, ScriptMark::None };
}

// Systems that lack what the program uses first when it writes a new file:
// a kernel that names a file without a name only through /proc (before
// 6.10, for a user without privileges), and file systems with no files
// without a name whose rename cannot spare an existing name, with hard links
// (NFS, many FUSE ones) or without (FAT).
enum class OtherSystem { OlderKernel, Nfs, Fat };

// From now on this process gets from the system what `other` gives.
bool behaveAs(OtherSystem other)
{
    std::vector<sock_filter> filter;
    const auto add = [&](std::initializer_list<sock_filter> part) { filter.insert(filter.end(), part); };
    // `call` fails with `error` when its argument `arg` has the bits `flags`.
    const auto refuse = [&](long call, int arg, __u32 flags, int error) {
        add({ BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __u32(call), 0, __u8(arg < 0 ? 1 : 4)) });
        if (arg >= 0)
            add({ BPF_STMT(BPF_LD | BPF_W | BPF_ABS, __u32(offsetof(seccomp_data, args) + 8 * arg)),
                BPF_STMT(BPF_ALU | BPF_AND | BPF_K, flags), BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, flags, 0, 1) });
        add({ BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | __u32(error)) });
    };
    if (other == OtherSystem::OlderKernel) {
        refuse(SYS_linkat, 4, AT_EMPTY_PATH, ENOENT);
    } else {
        refuse(SYS_openat, 2, __O_TMPFILE, EOPNOTSUPP);
        refuse(SYS_renameat2, 4, RENAME_NOREPLACE, EINVAL);
    }
    if (other == OtherSystem::Fat) {
#ifdef SYS_link
        refuse(SYS_link, -1, 0, EPERM);
#endif
        refuse(SYS_linkat, -1, 0, EPERM);
    }
    add({ BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW) });
    const sock_fprog program { static_cast<unsigned short>(filter.size()), filter.data() };
    return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 && ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

// Whether the system now answers as `other` would.
bool behavesAs(OtherSystem other, const QString &folder)
{
    const QByteArray dir = QFile::encodeName(folder), from = dir + "/probe", to = dir + "/probe.copy";
    if (!put(QFile::decodeName(from)))
        return false;
    const int anonymous = ::open(dir.constData(), O_WRONLY | O_TMPFILE | O_CLOEXEC, 0600);
    const int anonymousError = errno;
    const bool named = anonymous >= 0 && ::linkat(anonymous, "", AT_FDCWD, to.constData(), AT_EMPTY_PATH) == 0;
    const int namedError = errno;
    if (anonymous >= 0)
        ::close(anonymous);
    ::unlink(to.constData());
    const bool renamed = ::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0;
    const int renameError = errno;
    const bool linked = !renamed && ::link(from.constData(), to.constData()) == 0;
    const int linkError = errno;
    ::unlink(from.constData());
    ::unlink(to.constData());
    switch (other) {
    case OtherSystem::OlderKernel: return anonymous >= 0 && !named && namedError == ENOENT && renamed;
    case OtherSystem::Nfs:
        return anonymous < 0 && anonymousError == EOPNOTSUPP && !renamed && renameError == EINVAL && linked;
    case OtherSystem::Fat:
        return anonymous < 0 && anonymousError == EOPNOTSUPP && !renamed && renameError == EINVAL && !linked
            && linkError == EPERM;
    }
    return false;
}

} // namespace

class TestHostileFiles : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;
    QString m_root;
    std::unique_ptr<CErrorlog> m_log;

    QString dir(const QString &name) const
    {
        QDir().mkpath(m_root + u'/' + name);
        return m_root + u'/' + name;
    }
    ErrorTrap trap(const QString &procedure) const { return ErrorTrap(*m_log, u"frmTovrane"_s, procedure); }
    QStringList records() const { return logRecords(m_root + u"/log"_s); }

private slots:
    void init()
    {
        static int n = 0;
        m_root = m_tmp.path() + u'/' + QString::number(++n);
        m_log = std::make_unique<CErrorlog>(dir(u"log"_s), u"tovrane"_s);
    }

    // What stands where a script goes is replaced whole (a longer old file
    // too) or, under "Ask" and "No", kept and marked. A link, dangling or
    // not, is never written through: the link itself is replaced or kept, and
    // removal takes the link.
    void scriptFilesAndLinksAreReplacedNeverFollowed()
    {
        const QString a = dir(u"a"_s), elsewhere = dir(u"elsewhere"_s);
        const QString victim = elsewhere + u"/victim.txt"_s, made = elsewhere + u"/made.avs"_s;
        const QStringList scripts { a + u"/dangling.avs"_s, a + u"/linked.avs"_s, a + u"/plain.avs"_s };
        QVERIFY(put(victim, "precious\r\n"));
        const auto makeScripts = [&] {
            for (const QString &script : scripts)
                QFile::remove(script);
            QVERIFY(QFile::link(made, scripts[0]) && QFile::link(victim, scripts[1]));
            QVERIFY(put(scripts[2], "a much longer old script"));
        };
        const QList<ClipRow> rows { clip(u"dangling.avi"_s, a), clip(u"linked.avi"_s, a), clip(u"plain.avi"_s, a) };

        makeScripts();
        QStringList asked;
        QList<int> marked;
        BuildOptions ask { u"%CLIP%"_s, u"avs"_s, OverwritePolicy::Ask, ScriptFolder::ClipFolder, {} };
        const auto no = [&](const QString &path) { return asked << path, false; };
        QCOMPARE(buildPerClip(rows, ask, trap(u"Mode_1"_s), no, [&](int r) { marked << r; }), 0);
        QCOMPARE(asked, scripts);
        QCOMPARE(marked, (QList<int> { 0, 1, 2 }));
        QVERIFY(isLink(scripts[0]) && isLink(scripts[1]));
        QCOMPARE(readBytes(scripts[2]), "a much longer old script");

        for (const bool asking : { true, false }) {
            makeScripts();
            ask.overwrite = asking ? OverwritePolicy::Ask : OverwritePolicy::Always;
            QCOMPARE(buildPerClip(rows, ask, trap(u"Mode_1"_s), [](const QString &) { return true; }, {}), 3);
            QCOMPARE(readBytes(scripts[0]) + readBytes(scripts[1]) + readBytes(scripts[2]), "danglinglinkedplain");
            QVERIFY(!isLink(scripts[0]) && !isLink(scripts[1]));
            QCOMPARE(readBytes(victim), QByteArray("precious\r\n"));
            QVERIFY(!QFileInfo::exists(made));
        }

        makeScripts();
        QCOMPARE(removeScripts(a, u"avs"_s), 3);
        QCOMPARE(tree(a), QStringList());
        QCOMPARE(readBytes(victim), QByteArray("precious\r\n"));
        QCOMPARE(records(), QStringList());
    }

    // A FIFO, where a script, the settings, a template or the log should be,
    // is refused at once: nothing waits for a writer or reader that never
    // comes. A file far larger than any settings or template is refused with
    // "Out of memory" rather than swallowed.
    void fifosAndHugeFilesAreRefused()
    {
        ::alarm(60); // a hang would otherwise stop the whole test run until its timeout
        const auto noAlarm = qScopeGuard([] { ::alarm(0); });
        const QString a = dir(u"a"_s), fifo = a + u"/stuck.avs"_s, huge = a + u"/huge.avt"_s;
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        const QList<ClipRow> rows { clip(u"stuck.avi"_s, a), clip(u"next.avi"_s, a) };
        for (const bool asking : { false, true }) {
            QList<int> marked;
            const BuildOptions options { u"%CLIP%"_s, u"avs"_s, asking ? OverwritePolicy::Ask : OverwritePolicy::Always,
                ScriptFolder::ClipFolder, {} };
            QCOMPARE(buildPerClip(
                         rows, options, trap(u"Mode_1"_s), [](const QString &) { return true; },
                         [&](int r) { marked << r; }),
                1);
            QCOMPARE(marked, QList<int> { 1 });
            QCOMPARE(readBytes(a + u"/next.avs"_s), QByteArray("next"));
        }
        QCOMPARE(records(), QStringList(2, u"Mode_1 75"_s));

        QVERIFY(put(huge) && QFile::resize(huge, SafeFile::MaxTextBytes + 1));
        for (const auto &[path, number] :
            { std::pair(fifo, ErrNum::PathFileAccessError), std::pair(huge, ErrNum::OutOfMemory) }) {
            QCOMPARE(refused([&] { ReadIniKey(path, u"Settings"_s, u"Mode"_s); }), number);
            QCOMPARE(refused([&] { WriteIniKey(path, u"Settings"_s, u"Mode"_s, u"1"_s); }), number);
            QCOMPARE(readTemplateText(path, QString()).error().number, number);
        }
        QCOMPARE(SafeFile::entryAt(fifo), SafeFile::Entry::Other);
        QCOMPARE(QFileInfo(huge).size(), SafeFile::MaxTextBytes + 1);

        // The log: with no reader, and with one waiting, nothing is written.
        const QString log = m_log->logFilePath(QDateTime::currentDateTime());
        QVERIFY(QFile::remove(log));
        QCOMPARE(::mkfifo(QFile::encodeName(log).constData(), 0600), 0);
        trap(u"Mode_1"_s)([] { throw RuntimeError(ErrNum::DiskFull); });
        const int reader = ::open(QFile::encodeName(log).constData(), O_RDONLY | O_NONBLOCK);
        QVERIFY(reader >= 0);
        trap(u"Mode_1"_s)([] { throw RuntimeError(ErrNum::DiskFull); });
        char byte;
        QCOMPARE(::read(reader, &byte, 1), ssize_t(0));
        ::close(reader);
        // Nor is it written through a link.
        QVERIFY(QFile::remove(log) && put(a + u"/target.txt"_s, "kept") && QFile::link(a + u"/target.txt"_s, log));
        trap(u"Mode_1"_s)([] { throw RuntimeError(ErrNum::DiskFull); });
        QCOMPARE(readBytes(a + u"/target.txt"_s), QByteArray("kept"));
    }

    // A disk that fills up while a script, the settings or a template is
    // replaced leaves the old file byte for byte, with nothing beside it, and
    // logs the failure; a batch script that could not be written whole is not
    // left behind. A file-size limit makes the writes fail as a full disk would.
    void fullDiskKeepsOldFilesWhole()
    {
        const QString a = dir(u"a"_s), out = dir(u"out"_s);
        const QByteArray old = "the user's file\r\n";
        for (const QString &name : { u"old.avs"_s, u"Settings.ini"_s, u"t.avt"_s })
            QVERIFY(put(a + u'/' + name, old));
        const QList<ClipRow> rows { clip(u"old.avi"_s, a), clip(u"new.avi"_s, a) };
        const QString big(100000, u'x');
        const BuildOptions options { big, u"avs"_s, OverwritePolicy::Always, ScriptFolder::ClipFolder, out };
        QList<int> marked;
        int written = -1;
        QString batch = u"?"_s;
        bool saved = true, set = true;
        {
            const FileSizeLimit limit(4096);
            QVERIFY(limit.ok());
            written = buildPerClip(rows, options, trap(u"Mode_1"_s), {}, [&](int r) { marked << r; });
            batch = buildBatch(rows, options, trap(u"Mode_0"_s));
            saved = saveTemplateText(a + u"/t.avt"_s, big, {}, trap(u"SaveTemplate"_s));
            set = trap(u"AddFolder"_s)(
                [&] { WriteIniKey(a + u"/Settings.ini"_s, u"Settings"_s, u"MainFolder"_s, big); });
        }
        QCOMPARE(written, 0);
        QVERIFY(marked.isEmpty());
        QCOMPARE(batch, QString());
        QVERIFY(!saved && !set);
        QCOMPARE(readBytes(a + u"/old.avs"_s) + readBytes(a + u"/Settings.ini"_s) + readBytes(a + u"/t.avt"_s),
            old + old + old);
        QCOMPARE(tree(a), (QStringList { u"Settings.ini"_s, u"old.avs"_s, u"t.avt"_s }));
        QCOMPARE(tree(out), QStringList());
        QStringList logged = records();
        QVERIFY(logged.removeAll(u"Mode_0 61"_s) >= 1); // how many batch steps fail depends on buffering
        QCOMPARE(logged, (QStringList { u"Mode_1 61"_s, u"Mode_1 61"_s, u"SaveTemplate 61"_s, u"AddFolder 61"_s }));
    }

    // Where the folder refuses a file beside the one to be replaced (a
    // read-only program or clip folder; a shared folder whose sticky bit
    // keeps others' files from being renamed over), a file the user may
    // write is written in place, as a plain overwrite would: scripts, the
    // settings and a template. A link there is still never written through,
    // and a new file cannot be made: only those two are logged.
    void lockedFoldersStillTakeWritableFiles()
    {
        if (::geteuid() != 0)
            QSKIP("needs root to make files of two users");
        const QString readOnly = dir(u"readonly"_s), shared = dir(u"shared"_s), elsewhere = dir(u"elsewhere"_s);
        const QString target = elsewhere + u"/target.txt"_s;
        const QStringList usersFiles { readOnly + u"/x.avs"_s, readOnly + u"/Settings.ini"_s, readOnly + u"/t.avt"_s,
            shared + u"/own.avs"_s };
        const QString othersFile = shared + u"/y.avs"_s;
        for (const QString &file : usersFiles + QStringList { othersFile, target })
            QVERIFY(put(file, "[Settings]\r\nMode=0\r\n"));
        for (const QString &file : usersFiles)
            QVERIFY(::chown(QFile::encodeName(file).constData(), 65534, 65534) == 0 && setMode(file, 0644));
        QVERIFY(setMode(othersFile, 0666) && QFile::link(target, readOnly + u"/l.avs"_s));
        QVERIFY(setMode(m_tmp.path(), 0755) && setMode(m_root + u"/log"_s, 0777));
        QVERIFY(setMode(readOnly, 0555) && setMode(shared, 01777));
        struct stat before;
        QCOMPARE(::stat(QFile::encodeName(othersFile).constData(), &before), 0);

        const QList<ClipRow> rows { clip(u"x.avi"_s, readOnly), clip(u"l.avi"_s, readOnly), clip(u"n.avi"_s, readOnly),
            clip(u"y.avi"_s, shared), clip(u"own.avi"_s, shared) };
        int written = -1;
        bool saved = false;
        {
            const Unprivileged asUser;
            QVERIFY(asUser.ok());
            QVERIFY(!Unprivileged::mayAccess(readOnly, W_OK) && Unprivileged::mayAccess(readOnly + u"/x.avs"_s, W_OK));
            written
                = buildPerClip(rows, { u"%CLIP%"_s, u"avs"_s, OverwritePolicy::Always, ScriptFolder::ClipFolder, {} },
                    trap(u"Mode_1"_s), {}, {});
            trap(u"AddFolder"_s)([&] { WriteIniKey(readOnly + u"/Settings.ini"_s, u"Settings"_s, u"Mode"_s, u"1"_s); });
            saved = saveTemplateText(readOnly + u"/t.avt"_s, u"Blur(1.0)"_s, {}, trap(u"SaveTemplate"_s));
        }
        QCOMPARE(written, 3);
        QVERIFY(saved);
        QCOMPARE(readBytes(readOnly + u"/x.avs"_s) + readBytes(shared + u"/own.avs"_s) + readBytes(othersFile),
            QByteArray("xowny"));
        QCOMPARE(readBytes(readOnly + u"/Settings.ini"_s), QByteArray("[Settings]\r\nMode=1\r\n"));
        QCOMPARE(readBytes(readOnly + u"/t.avt"_s), QByteArray("Blur(1.0)"));
        // The other user's file is still theirs, and still the same file.
        struct stat after;
        QCOMPARE(::stat(QFile::encodeName(othersFile).constData(), &after), 0);
        QVERIFY(after.st_ino == before.st_ino && after.st_uid == 0 && (after.st_mode & 07777) == 0666);
        QVERIFY(isLink(readOnly + u"/l.avs"_s));
        QCOMPARE(readBytes(target), QByteArray("[Settings]\r\nMode=0\r\n"));
        QCOMPARE(tree(readOnly), (QStringList { u"Settings.ini"_s, u"l.avs"_s, u"t.avt"_s, u"x.avs"_s }));
        QCOMPARE(tree(shared), (QStringList { u"own.avs"_s, u"y.avs"_s }));
        QCOMPARE(records(), (QStringList { u"Mode_1 70"_s, u"Mode_1 70"_s }));
        QVERIFY(setMode(readOnly, 0755));
    }

    // On systems that lack what the program uses first, a new script or
    // batch file still never replaces what stands under its name, a file
    // that was there is replaced, and nothing is left beside them.
    void newFilesOnOtherSystems()
    {
        for (const OtherSystem other : { OtherSystem::OlderKernel, OtherSystem::Nfs, OtherSystem::Fat }) {
            const QString out = dir(u"system%1"_s.arg(int(other)));
            QVERIFY(put(out + u"/batch_file_0.avs"_s, "kept") && put(out + u"/taken.avs"_s, "kept"));
            QVERIFY(put(out + u"/replaced.avs"_s, "old"));
            const pid_t child = ::fork();
            if (child == 0) {
                int failed = behaveAs(other) && behavesAs(other, out) ? 0 : 1;
                const SafeFile::Result taken = SafeFile::createFile(out + u"/taken.avs"_s, "new");
                failed |= taken.failure == SafeFile::Result::System && taken.error == EEXIST ? 0 : 2;
                failed |= SafeFile::createFile(out + u"/free.avs"_s, "new").ok() ? 0 : 4;
                failed |= SafeFile::replaceFile(out + u"/replaced.avs"_s, "new").ok() ? 0 : 8;
                failed |= SafeFile::replaceFile(out + u"/made.avs"_s, "new").ok() ? 0 : 16;
                const BuildOptions options { u"%CLIP%"_s, u"avs"_s, OverwritePolicy::Always, ScriptFolder::ClipFolder,
                    out };
                const QString batch = buildBatch({ clip(u"batch.avi"_s, out) }, options, trap(u"Mode_0"_s));
                failed |= batch == out + u"/batch_file_1.avs"_s ? 0 : 32;
                ::_exit(failed);
            }
            int status = 0;
            QCOMPARE(::waitpid(child, &status, 0), child);
            QVERIFY(WIFEXITED(status));
            QCOMPARE(WEXITSTATUS(status), 0);
            QCOMPARE(tree(out),
                (QStringList { u"batch_file_0.avs"_s, u"batch_file_1.avs"_s, u"free.avs"_s, u"made.avs"_s,
                    u"replaced.avs"_s, u"taken.avs"_s }));
            QCOMPARE(
                readBytes(out + u"/batch_file_0.avs"_s) + readBytes(out + u"/taken.avs"_s), QByteArray("keptkept"));
            QCOMPARE(readBytes(out + u"/free.avs"_s) + readBytes(out + u"/made.avs"_s)
                    + readBytes(out + u"/replaced.avs"_s) + readBytes(out + u"/batch_file_1.avs"_s),
                QByteArray("newnewnewbatch"));
        }
        QCOMPARE(records(), QStringList());
    }

    // Killing the program in the middle of a change must leave the earlier
    // text or the new one: never a missing, empty or torn settings file.
    void killedSettingsWriterLeavesAWholeFile()
    {
        const QString settings = dir(u"p"_s) + u"/Settings.ini"_s, folders = u"/media/clips|/home/user/Video [2019]"_s;
        WriteIniKey(settings, u"Settings"_s, u"MainFolder"_s, folders);
        QRandomGenerator rng(20240601);
        for (int round = 0; round < 50; ++round) {
            QProcess writer;
            writer.start(QStringLiteral(SETTINGS_WRITER), { settings, QString::number(qint64(round) * 1000000) });
            QVERIFY2(writer.waitForReadyRead(20000), "the writer never finished its first write");
            QThread::usleep(rng.bounded(40000));
            writer.kill();
            QVERIFY(writer.waitForFinished(10000));
            QCOMPARE(writer.exitStatus(), QProcess::CrashExit);

            // Read before ReadIniKey, which would create a missing file.
            const QByteArray bytes = readBytes(settings);
            QVERIFY2(bytes.endsWith("\r\n") && bytes.count('\n') == bytes.count("\r\n"),
                qPrintable(u"round %1: settings file missing, empty or torn"_s.arg(round)));
            QCOMPARE(ReadIniKey(settings, u"Settings"_s, u"MainFolder"_s), folders);
            // A torn value differs from the one its number stands for.
            const QString value = ReadIniKey(settings, u"Settings"_s, u"Value"_s);
            const qint64 i = value.section(u':', 0, 0).toLongLong();
            QCOMPARE(value, burstValue(i));
            // "ready" came after this round's first write, so an earlier round's value is a lost write.
            QCOMPARE(i / 1000000, qint64(round));
        }
    }

    // Settings and templates from older systems keep every byte that was not
    // edited; a byte-order mark is read past and kept.
    void oldEncodingsKeepEveryByte()
    {
        QByteArray everyByte(256, '\0');
        std::iota(everyByte.begin(), everyByte.end(), '\0');
        // All but the two that end lines, which are the files' structure.
        everyByte.removeIf([](char c) { return c == '\r' || c == '\n'; });
        const QString ini = dir(u"p"_s) + u"/Settings.ini"_s;
        const QByteArray folders = "/media/vid\xe9os|" + everyByte;
        QVERIFY(put(ini, "[Settings]\r\nMainFolder=" + folders + "\r\nMode=1\r\n"));
        const QString read = ReadIniKey(ini, u"Settings"_s, u"MainFolder"_s);
        QVERIFY(read.startsWith(u"/media/vid\u00e9os|"_s));
        QVERIFY(read.contains(u'\u20ac') && read.contains(u'\u0081')); // 0x80 and an unassigned byte
        // What adding a scan folder does: the whole value is written back.
        WriteIniKey(ini, u"Settings"_s, u"MainFolder"_s, read + u"|/new"_s);
        QCOMPARE(readBytes(ini), "[Settings]\r\nMainFolder=" + folders + "|/new\r\nMode=1\r\n");
        // A character the code page lacks moves the file to the local
        // encoding, losing nothing.
        WriteIniKey(ini, u"Settings"_s, u"AvsFolder"_s, u"/\u65e5\u672c"_s);
        QCOMPARE(ReadIniKey(ini, u"Settings"_s, u"MainFolder"_s), read + u"|/new"_s);
        QCOMPARE(ReadIniKey(ini, u"Settings"_s, u"AvsFolder"_s), u"/\u65e5\u672c"_s);

        QVERIFY(put(ini, "\xEF\xBB\xBF[Settings]\r\nMode=1\r\n"));
        QCOMPARE(ReadIniKey(ini, u"Settings"_s, u"Mode"_s), u"1"_s);
        WriteIniKey(ini, u"Settings"_s, u"Show"_s, u"0"_s);
        QCOMPARE(readBytes(ini), QByteArray("\xEF\xBB\xBF[Settings]\r\nShow=0\r\nMode=1\r\n"));

        // Templates: Windows-1252, and UTF-8 with a byte-order mark as Windows editors save it.
        const QString avt = dir(u"t"_s) + u"/old.avt"_s, copy = dir(u"t"_s) + u"/copy.avt"_s;
        for (const auto &[bytes, text] :
            { std::pair("# Caf\xe9 \xa9\r\n" + everyByte + "\r\n", u"# Caf\u00e9 \u00a9\n"_s),
                std::pair(QByteArray("\xEF\xBB\xBF# Caf\xC3\xA9\r\n"), u"\uFEFF# Caf\u00e9\n"_s) }) {
            QVERIFY(put(avt, bytes));
            const Expected<std::optional<TemplateText>> read = readTemplateText(avt, QString());
            QVERIFY(read && *read);
            const TemplateText &loaded = **read;
            QVERIFY(loaded.text.startsWith(text));
            QVERIFY(saveTemplateText(copy, loaded.text, loaded.format, trap(u"SaveTemplate"_s)));
            QCOMPARE(readBytes(copy), bytes);
        }
        QCOMPARE(records(), QStringList());
    }

    // A program folder whose name is not valid text cannot be named exactly:
    // the program says so and stops before it writes anything anywhere.
    void programFolderThatCannotBeNamed()
    {
        const bool rootHadSettings = QFileInfo::exists(u"/Settings.ini"_s);
        QProcess run;
        run.setWorkingDirectory(dir(u"run"_s));
        // The shell hands the name on byte for byte, lists what is left and
        // tidies up: no temporary folder can name it.
        run.start(u"/bin/sh"_s,
            { u"-c"_s,
                u"d=$(printf 'vid\\351os') && mkdir \"$d\" && cp \"$0\" \"$d/tovrane\" || exit 9; "
                u"QT_QPA_PLATFORM=offscreen \"./$d/tovrane\"; s=$?; ls -A . \"$d\"; rm -r \"$d\"; exit $s"_s,
                QStringLiteral(TOVRANE_PATH) });
        QVERIFY(run.waitForFinished(30000));
        QCOMPARE(run.exitStatus(), QProcess::NormalExit);
        const QByteArray err = run.readAllStandardError();
        QCOMPARE(run.exitCode(), 2);
        QCOMPARE(err.count("tovrane: "), 1);
        QVERIFY2(err.contains("tovrane: cannot start: ") && err.contains("vid\\xE9os\n"), err.constData());
        // No log or settings beside the folder, nor in it.
        QCOMPARE(run.readAllStandardOutput(), QByteArray(".:\nvid\xe9os\n\nvid\xe9os:\ntovrane\n"));
        QVERIFY(rootHadSettings || !QFileInfo::exists(u"/Settings.ini"_s));
    }
};

QTEST_GUILESS_MAIN(TestHostileFiles)
#include "tst_hostilefiles.moc"