// The platform layer on Windows: the safe file layer (device names, links
// and junctions, files made read-only or held open by another program, the
// hidden file beside) and the local 8-bit encoding.

#include "Links_windows.h"
#include "SafeFile.h"
#include "TestFiles.h"
#include "TextEncoding.h"

#include <QTemporaryDir>
#include <QtTest>

#include <windows.h>

using namespace Qt::StringLiterals;
namespace SafeFile = platform::SafeFile;
using SafeFile::Result;

namespace {

// A handle another program holds on `path`, sharing only what `share` says.
struct Held
{
    HANDLE handle;
    Held(const QString &path, DWORD access, DWORD share)
        : handle(CreateFileW(wide(path).c_str(), access, share, nullptr, OPEN_EXISTING, 0, nullptr))
    { }
    ~Held()
    {
        if (handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
    }
    bool ok() const { return handle != INVALID_HANDLE_VALUE; }
};

bool failedWith(const Result &result, int err)
{
    return result.failure == Result::System && result.error == err;
}

DWORD attributesOf(const QString &path)
{
    return GetFileAttributesW(wide(path).c_str());
}

} // namespace

class TestPlatformWindows : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;
    QString m_dir;

private slots:
    void init()
    {
        static int n = 0;
        m_dir = m_tmp.path() + u"/case"_s + QString::number(++n);
        QVERIFY(QDir().mkpath(m_dir));
    }

    // Windows opens a device for these names in every folder, whatever the
    // extension: none of them is read, written, appended to or created, and
    // nothing appears in the folder. Names that only look alike are files.
    void deviceNamesAreRefused()
    {
        const QStringList devices { u"CON"_s, u"nul"_s, u"NUL.avs"_s, u"con .txt"_s, u"Aux.ini"_s, u"PRN"_s, u"COM1"_s,
            u"com9.avs"_s, u"LPT1.log"_s, u"lpt9"_s, u"CONOUT$"_s };
        for (const QString &name : devices) {
            const QString path = m_dir + u'/' + name;
            QByteArray bytes = "untouched";
            QCOMPARE(SafeFile::readFile(path, bytes).failure, Result::NotRegularFile);
            QCOMPARE(bytes, QByteArray("untouched"));
            QCOMPARE(SafeFile::replaceFile(path, "x").failure, Result::NotRegularFile);
            QCOMPARE(SafeFile::createFile(path, "x").failure, Result::NotRegularFile);
            QCOMPARE(SafeFile::appendToFile(path, "x").failure, Result::NotRegularFile);
            QCOMPARE(SafeFile::prepareFile(path).failure, Result::NotRegularFile);
            QCOMPARE(SafeFile::entryAt(path), SafeFile::Entry::Other);
            QVERIFY(!SafeFile::fileOrLinkExists(path));
        }
        QCOMPARE(tree(m_dir), QStringList());

        const QStringList files { u"CONSOLE.avs"_s, u"COM10.txt"_s, u"LPT0"_s, u"nully.ini"_s, u"xcon.avs"_s };
        for (const QString &name : files) {
            const QString path = m_dir + u'/' + name;
            QVERIFY2(SafeFile::replaceFile(path, name.toUtf8()).ok(), qPrintable(name));
            QByteArray bytes;
            QVERIFY(SafeFile::readFile(path, bytes).ok());
            QCOMPARE(bytes, name.toUtf8());
        }
    }

    // A symbolic link or a junction is never written through: the link
    // itself is replaced by a file, its target left alone; appending
    // through one is refused. Reading follows a link to a file.
    void linksAreReplacedNeverFollowed()
    {
        const QString target = m_dir + u"/target.txt"_s, link = m_dir + u"/link.avs"_s;
        const QString dangling = m_dir + u"/dangling.avs"_s, folder = m_dir + u"/folder"_s;
        const QString junction = m_dir + u"/junction"_s;
        QVERIFY(put(target, "precious") && QDir().mkpath(folder + u"/inside"_s));
        bool madeAny = false;
        if (makeJunction(junction, folder)) {
            madeAny = true;
            QCOMPARE(SafeFile::entryAt(junction), SafeFile::Entry::Link);
            QVERIFY(SafeFile::fileOrLinkExists(junction));
            QVERIFY(SafeFile::prepareFile(junction).ok());
            QVERIFY(SafeFile::replaceFile(junction, "was a junction").ok());
            QCOMPARE(readBytes(junction), QByteArray("was a junction"));
            QVERIFY(QFileInfo(folder + u"/inside"_s).isDir());
        }
        if (makeSymbolicLink(link, target)) {
            madeAny = true;
            QVERIFY(makeSymbolicLink(dangling, m_dir + u"/nowhere.avs"_s));
            QCOMPARE(SafeFile::entryAt(link), SafeFile::Entry::Link);
            QCOMPARE(SafeFile::entryAt(dangling), SafeFile::Entry::Link);
            QVERIFY(SafeFile::fileOrLinkExists(dangling));

            QByteArray bytes;
            QVERIFY(SafeFile::readFile(link, bytes).ok());
            QCOMPARE(bytes, QByteArray("precious"));
            QVERIFY(!SafeFile::appendToFile(link, "more").ok());
            QVERIFY(SafeFile::prepareFile(link).ok());
            QVERIFY(failedWith(SafeFile::createFile(link, "new"), EEXIST));
            QCOMPARE(readBytes(target), QByteArray("precious"));

            QVERIFY(SafeFile::replaceFile(link, "script").ok());
            QVERIFY(SafeFile::replaceFile(dangling, "other").ok());
            QVERIFY(!isReparsePoint(link) && !isReparsePoint(dangling));
            QCOMPARE(readBytes(link) + readBytes(dangling), QByteArray("scriptother"));
            QCOMPARE(readBytes(target), QByteArray("precious"));
            QVERIFY(!QFileInfo::exists(m_dir + u"/nowhere.avs"_s));
        }
        if (!madeAny)
            QSKIP("the system makes neither junctions nor symbolic links here");
    }

    // A file made read-only is not replaced until prepareFile makes it
    // writable again; a file another program holds without letting it be
    // replaced stays byte for byte as it was, with nothing left beside it.
    // What stands there and is no file is refused untouched.
    void filesThatCannotBeReplacedStayWhole()
    {
        const QString path = m_dir + u"/settings.ini"_s;
        QVERIFY(put(path, "old settings"));
        QVERIFY(SetFileAttributesW(wide(path).c_str(), FILE_ATTRIBUTE_READONLY));
        QVERIFY(failedWith(SafeFile::replaceFile(path, "new"), EACCES));
        QCOMPARE(readBytes(path), QByteArray("old settings"));
        QVERIFY(SafeFile::prepareFile(path).ok());
        QVERIFY(!(attributesOf(path) & FILE_ATTRIBUTE_READONLY));

        {
            const Held reader(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
            QVERIFY(reader.ok());
            const Result held = SafeFile::replaceFile(path, "new", SafeFile::Durability::Synced);
            QVERIFY(failedWith(held, EACCES));
            QCOMPARE(readBytes(path), QByteArray("old settings"));
            QCOMPARE(tree(m_dir), QStringList { u"settings.ini"_s });
        }
        QVERIFY(SafeFile::replaceFile(path, "new", SafeFile::Durability::Synced).ok());
        QCOMPARE(readBytes(path), QByteArray("new"));

        // A hidden file stays hidden once replaced.
        QVERIFY(SetFileAttributesW(wide(path).c_str(), FILE_ATTRIBUTE_HIDDEN));
        QVERIFY(SafeFile::replaceFile(path, "newer").ok());
        QVERIFY(attributesOf(path) & FILE_ATTRIBUTE_HIDDEN);

        const QString folder = m_dir + u"/folder.avs"_s;
        QVERIFY(QDir().mkpath(folder));
        QByteArray bytes;
        QCOMPARE(SafeFile::readFile(folder, bytes).failure, Result::NotRegularFile);
        QCOMPARE(SafeFile::replaceFile(folder, "x").failure, Result::NotRegularFile);
        QCOMPARE(SafeFile::prepareFile(folder).failure, Result::NotRegularFile);
        QVERIFY(!SafeFile::appendToFile(folder, "x").ok());
        QCOMPARE(SafeFile::entryAt(folder), SafeFile::Entry::Folder);
        QVERIFY(QFileInfo(folder).isDir());

        const QString big = m_dir + u"/big.avt"_s;
        QVERIFY(put(big, QByteArray(100, 'x')));
        QCOMPARE(SafeFile::readFile(big, bytes, 99).failure, Result::TooLarge);
        QVERIFY(SafeFile::readFile(big, bytes, 100).ok());
        QCOMPARE(bytes.size(), 100);
    }

    // A file in the making is hidden, held so that no one else opens it,
    // and shown only under its final name; publishing never goes over what
    // stands there, and the file stays pending for another name. What a
    // killed writer left is cleaned up; what a live one holds is not.
    void pendingFilesAreHiddenHeldAndNeverClobber()
    {
        const QString taken = m_dir + u"/batch.avs"_s, free = m_dir + u"/batch_1.avs"_s;
        QVERIFY(put(taken, "earlier batch"));
        SafeFile::PendingFile file;
        QVERIFY(file.create(m_dir).ok());
        QVERIFY(file.append("whole ").ok() && file.append("batch").ok());

        const QStringList beside = QDir(m_dir).entryList(QDir::Files | QDir::Hidden);
        QCOMPARE(beside.size(), 2);
        const QString temporary = beside.filter(u".tovrane-"_s).value(0);
        QVERIFY(SafeFile::isTemporaryName(temporary.toUtf8()));
        QVERIFY(attributesOf(m_dir + u'/' + temporary) & FILE_ATTRIBUTE_HIDDEN);
        QCOMPARE(readBytes(m_dir + u'/' + temporary), QByteArray("<missing>"));
        QCOMPARE(SafeFile::removeStaleTemporaries(m_dir), 0);

        QVERIFY(failedWith(file.publish(taken), EEXIST));
        QVERIFY(file.isOpen());
        QCOMPARE(readBytes(taken), QByteArray("earlier batch"));
        QVERIFY(file.publish(free, SafeFile::Durability::Synced).ok());
        QCOMPARE(readBytes(free), QByteArray("whole batch"));
        QVERIFY(!(attributesOf(free) & FILE_ATTRIBUTE_HIDDEN));
        QCOMPARE(tree(m_dir), (QStringList { u"batch.avs"_s, u"batch_1.avs"_s }));

        QVERIFY(failedWith(SafeFile::createFile(free, "again"), EEXIST));
        QCOMPARE(readBytes(free), QByteArray("whole batch"));

        // Discarded, nothing stays; left by a killed writer, it is removed.
        {
            SafeFile::PendingFile dropped;
            QVERIFY(dropped.create(m_dir).ok() && dropped.append("half").ok());
        }
        QVERIFY(put(m_dir + u"/.tovrane-0000beef.tmp"_s, "left by a killed writer"));
        QVERIFY(put(m_dir + u"/.tovrane-clip.tmp"_s, "not ours"));
        QCOMPARE(SafeFile::removeStaleTemporaries(m_dir), 1);
        QCOMPARE(tree(m_dir), (QStringList { u".tovrane-clip.tmp"_s, u"batch.avs"_s, u"batch_1.avs"_s }));
    }

    // Names are handed to the system whole, in UTF-16: a name that no
    // 8-bit code page holds is written, read, appended to and found.
    void everyNameIsUsable()
    {
        const QString name = u"\u0639\u0631\u0628\u064a \u65e5\u672c \u0915\u094d\u0937 \U0001F3AC \u00e9.avs"_s;
        const QString path = m_dir + u'/' + name;
        QVERIFY(SafeFile::replaceFile(path, "script").ok());
        QVERIFY(SafeFile::appendToFile(path, " more").ok());
        QByteArray bytes;
        QVERIFY(SafeFile::readFile(path, bytes).ok());
        QCOMPARE(bytes, QByteArray("script more"));
        QCOMPARE(SafeFile::entryAt(path), SafeFile::Entry::File);
        QCOMPARE(tree(m_dir), QStringList { name });
    }

    // The local 8-bit encoding is the ANSI code page, both ways, whichever
    // code page the system has; what it cannot hold is known beforehand.
    void localTextIsTheAnsiCodePage()
    {
        using platform::TextFormat;
        const QString text = u"caf\u00e9 \u00fc\u00df \u20ac \u0416 \u65e5 \u201cq\u201d"_s;
        for (const QChar c : text) {
            const std::wstring one(1, wchar_t(c.unicode()));
            char ansi[8];
            BOOL lossy = FALSE;
            const int n
                = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, one.c_str(), 1, ansi, sizeof ansi, nullptr, &lossy);
            QVERIFY(n > 0);
            const QString s(c);
            QCOMPARE(platform::canEncodeText(s, TextFormat::Encoding::Local), !lossy);
            if (lossy)
                continue;
            QCOMPARE(platform::encodeText(s, TextFormat::Encoding::Local), QByteArray(ansi, n));
            QCOMPARE(platform::decodeText(QByteArray(ansi, n), TextFormat::Encoding::Local), s);
        }
    }
};

QTEST_GUILESS_MAIN(TestPlatformWindows)
#include "tst_platform_windows.moc"
