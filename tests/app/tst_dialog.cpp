// The folder chooser on its own: where it opens, what OK hands back and to
// which receiver, and that a folder it cannot open leaves it usable.
#include "Dialog.h"

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStorageInfo>
#include <QtTest>

#include <functional>
#include <memory>

#include <unistd.h>

using namespace Qt::StringLiterals;

class TestDialog : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tree;
    QString m_scripts; // holds sub/
    QString m_locked; // no permissions at all
    QString m_current;
    QStringList m_added; // what OK handed to each receiver
    QStringList m_avs;

    std::unique_ptr<Dialog> chooser(int caller, const QString &labelFolder)
    {
        auto d = std::make_unique<Dialog>(Dialog::Receivers {
            [this](const QString &folder) { m_added << folder; }, [this](const QString &folder) { m_avs << folder; } });
        d->setCaller(caller);
        d->setLabelFolder(labelFolder);
        return d;
    }
    // Shown modally, as the settings window shows it, and answered from inside.
    static int run(Dialog &d, const std::function<void()> &answer)
    {
        QTimer::singleShot(0, &d, answer);
        return d.exec();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(QDir(m_tree.path()).mkpath(u"scripts/sub"_s));
        QVERIFY(QDir(m_tree.path()).mkpath(u"locked"_s));
        QVERIFY(QFile::setPermissions(m_tree.filePath(u"locked"_s), {}));
        m_scripts = QDir::toNativeSeparators(m_tree.filePath(u"scripts"_s));
        m_locked = QDir::toNativeSeparators(m_tree.filePath(u"locked"_s));
        m_current = QDir::toNativeSeparators(QDir::currentPath());
    }
    void cleanupTestCase()
    {
        QFile::setPermissions(m_locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    void init()
    {
        m_added.clear();
        m_avs.clear();
    }

    void okHandsTheOpenFolderToTheCallersReceiver_data()
    {
        QTest::addColumn<int>("caller");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("opensAt");
        QTest::addColumn<QStringList>("added");
        QTest::addColumn<QStringList>("avs");
        // Only the script folder opens at the label's folder.
        QTest::newRow("scan folder") << 0 << u"Add a scan folder"_s << m_current << QStringList { m_current }
                                     << QStringList();
        QTest::newRow("script folder") << 1 << u"Set your .avs folder"_s << m_scripts << QStringList()
                                       << QStringList { m_scripts };
        QTest::newRow("other caller: OK only closes")
            << 2 << u"Choose folder"_s << m_current << QStringList() << QStringList();
    }
    void okHandsTheOpenFolderToTheCallersReceiver()
    {
        QFETCH(int, caller);
        QFETCH(QString, opensAt);
        auto d = chooser(caller, m_scripts);
        QString openedAt;
        const int result = run(*d, [&] {
            openedAt = d->openFolder();
            d->OKButton->click();
        });
        QCOMPARE(result, QDialog::Accepted);
        QCOMPARE(openedAt, opensAt);
        QTEST(d->windowTitle(), "title");
        QTEST(m_added, "added");
        QTEST(m_avs, "avs");
    }

    void okTakesTheFolderOpenedLast()
    {
        auto d = chooser(1, m_scripts);
        d->Form_Load();
        // Enter opens the highlighted folder; a folder only highlighted afterwards does not count.
        const QList<QListWidgetItem *> sub = d->Dir1->findItems(u"sub"_s, Qt::MatchEndsWith);
        QCOMPARE(sub.size(), 1);
        d->Dir1->setCurrentItem(sub[0]);
        QTest::keyClick(d->Dir1, Qt::Key_Return);
        QCOMPARE(d->openFolder(), QDir::toNativeSeparators(m_scripts + u"/sub"_s));
        d->Dir1->setCurrentRow(0);
        d->OKButton->click();
        QCOMPARE(m_avs, QStringList { d->openFolder() });
        QVERIFY(m_added.isEmpty());
    }

    void aColonIsNoDriveLetterOutsideItsPlace()
    {
#ifdef Q_OS_WIN
        QSKIP("a ':' cannot be part of a folder name here");
#else
        const QString folder = m_tree.filePath(u"d:scripts"_s);
        QVERIFY(QDir().mkpath(folder));
        auto d = chooser(1, folder);
        d->Form_Load();
        d->OKButton->click();
        QCOMPARE(m_avs, QStringList { folder });
#endif
    }

    void cancelAndClosingHandNothingBack_data()
    {
        QTest::addColumn<int>("caller");
        QTest::addColumn<bool>("cancel");
        for (int caller : { 0, 1 }) {
            QTest::addRow("caller %d, Cancel", caller) << caller << true;
            QTest::addRow("caller %d, close box", caller) << caller << false;
        }
    }
    void cancelAndClosingHandNothingBack()
    {
        QFETCH(int, caller);
        QFETCH(bool, cancel);
        auto d = chooser(caller, m_scripts);
        QCOMPARE(run(*d, [&] { cancel ? d->CancelButton->click() : void(d->close()); }), QDialog::Rejected);
        QVERIFY(m_added.isEmpty());
        QVERIFY(m_avs.isEmpty());
    }

    void aFolderItCannotOpenLeavesUsableLists_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("note");
        QTest::newRow("missing") << u"/no/such/folder"_s << u"/no/such/folder"_s;
        QTest::newRow("none set") << QString() << u"No folder is set yet"_s;
        QTest::newRow("unreadable") << m_locked << m_locked;
    }
    void aFolderItCannotOpenLeavesUsableLists()
    {
        QFETCH(QString, label);
        QFETCH(QString, note);
        if (label == m_locked && ::geteuid() == 0)
            QSKIP("as root every folder is readable");
        auto d = chooser(1, label);
        d->Form_Load();
        QVERIFY(!d->lblNote->isHidden());
        QVERIFY2(d->lblNote->text().contains(note), qPrintable(d->lblNote->text()));
        QCOMPARE(d->openFolder(), m_current);
        QVERIFY(d->Dir1->count() > 0);
        // Asked to open it again: refused, and the lists stay where they were.
        QVERIFY(!d->setOpenFolder(label));
        QCOMPARE(d->openFolder(), m_current);
        d->OKButton->click();
        QCOMPARE(m_avs, QStringList { m_current });
    }

    void aDriveChangeOpensThatDrivesFolder()
    {
        const QString home = QDir::toNativeSeparators(QStorageInfo(m_current).rootPath());
        auto d = chooser(1, m_scripts);
        d->Form_Load();
        const int homeIndex = d->Drive1->findData(home);
        QVERIFY(homeIndex >= 0);
        const auto pick = [&d](int index) {
            d->Drive1->setCurrentIndex(index);
            d->Drive1_Change();
        };
        // Another drive opens at its root...
        for (int i = 0; i < d->Drive1->count(); ++i) {
            const QString root = d->Drive1->itemData(i).toString();
            if (i != homeIndex && QDir(root).isReadable()) {
                pick(i);
                QCOMPARE(d->openFolder(), root);
                break;
            }
        }
        // ...the process's own drive at the process's folder, which OK takes
        // though no folder was opened in the list.
        pick(homeIndex);
        QCOMPARE(d->Drive1->currentIndex(), homeIndex);
        d->OKButton->click();
        QCOMPARE(m_avs, QStringList { m_current });
    }
};

QTEST_MAIN(TestDialog)
#include "tst_dialog.moc"
