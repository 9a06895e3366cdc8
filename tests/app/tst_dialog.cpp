// The folder chooser on its own: where it opens, what OK hands back and to
// which receiver, and that a folder it cannot open leaves it usable.
#include "../common/Controls.h"
#include "Dialog.h"
#include "TestSystem.h"

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStorageInfo>
#include <QtTest>

#include <memory>

using namespace Qt::StringLiterals;

class TestDialog : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tree;
    const QString m_scripts = QDir::toNativeSeparators(m_tree.filePath(u"scripts"_s)); // holds sub/
    const QString m_locked = QDir::toNativeSeparators(m_tree.filePath(u"locked"_s)); // no permissions at all
    const QString m_current = QDir::toNativeSeparators(QDir::currentPath());
    QStringList m_added, m_avs; // what OK handed to each receiver

    std::unique_ptr<Dialog> chooser(int caller, const QString &labelFolder)
    {
        auto d = std::make_unique<Dialog>(Dialog::Receivers {
            [this](const QString &folder) { m_added << folder; }, [this](const QString &folder) { m_avs << folder; } });
        d->setCaller(caller);
        d->setLabelFolder(labelFolder);
        return d;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(QDir(m_tree.path()).mkpath(u"scripts/sub"_s) && QDir(m_tree.path()).mkpath(u"locked"_s));
        if (!unreadableFoldersMissing())
            QVERIFY(QFile::setPermissions(m_locked, {}));
#ifndef Q_OS_WIN
        QVERIFY(QDir(m_tree.path()).mkpath(u"d:scripts"_s));
#endif
    }
    void init()
    {
        m_added.clear();
        m_avs.clear();
    }

    void okHandsTheOpenFolderToTheCallersReceiver_data()
    {
        QTest::addColumn<int>("caller");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("opensAt");
        QTest::addColumn<QStringList>("added");
        QTest::addColumn<QStringList>("avs");
        // Only the script folder opens at the label's folder.
        QTest::newRow("scan folder") << 0 << m_scripts << u"Add a scan folder"_s << m_current
                                     << QStringList { m_current } << QStringList();
        QTest::newRow("script folder") << 1 << m_scripts << u"Set your .avs folder"_s << m_scripts << QStringList()
                                       << QStringList { m_scripts };
        QTest::newRow("other caller: OK only closes")
            << 2 << m_scripts << u"Choose folder"_s << m_current << QStringList() << QStringList();
#ifndef Q_OS_WIN
        // A ':' that is no drive letter's is handed on as it is.
        const QString colon = m_tree.filePath(u"d:scripts"_s);
        QTest::newRow("colon in a name") << 1 << colon << u"Set your .avs folder"_s << colon << QStringList()
                                         << QStringList { colon };
#endif
    }
    // Shown modally, as the settings window shows it, and answered from inside:
    // Cancel and the close box hand nothing back, OK the folder open.
    void okHandsTheOpenFolderToTheCallersReceiver()
    {
        QFETCH(int, caller);
        QFETCH(QString, label);
        for (const int button : { 0, 1, 2 }) { // close box, Cancel, OK
            auto d = chooser(caller, label);
            QString openedAt;
            QTimer::singleShot(0, d.get(), [&] {
                openedAt = d->openFolder();
                button == 0 ? void(d->close())
                            : control<QPushButton>(*d, button == 1 ? "CancelButton" : "OKButton")->click();
            });
            QCOMPARE(d->exec(), button == 2 ? QDialog::Accepted : QDialog::Rejected);
            QTEST(openedAt, "opensAt");
            QTEST(d->windowTitle(), "title");
        }
        QTEST(m_added, "added");
        QTEST(m_avs, "avs");
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
        if (label == m_locked)
            SKIP_IF_MISSING(unreadableFoldersMissing());
        auto d = chooser(1, label);
        d->Form_Load();
        QVERIFY(!control<QLabel>(*d, "lblNote")->isHidden());
        QVERIFY2(
            control<QLabel>(*d, "lblNote")->text().contains(note), qPrintable(control<QLabel>(*d, "lblNote")->text()));
        QCOMPARE(d->openFolder(), m_current);
        QVERIFY(control<QListWidget>(*d, "Dir1")->count() > 0);
        // Asked to open it again: refused, and the lists stay where they were.
        QVERIFY(!d->setOpenFolder(label));
        QCOMPARE(d->openFolder(), m_current);
        control<QPushButton>(*d, "OKButton")->click();
        QCOMPARE(m_avs, QStringList { m_current });
    }

    // Enter opens the highlighted folder, and OK takes the folder opened
    // last. Another drive opens at its root, the process's own drive at the
    // process's folder, which OK takes though no folder was opened in the list.
    void okTakesTheFolderOpenedLast()
    {
        auto d = chooser(1, m_scripts);
        d->Form_Load();
        const QList<QListWidgetItem *> sub = control<QListWidget>(*d, "Dir1")->findItems(u"sub"_s, Qt::MatchEndsWith);
        QCOMPARE(sub.size(), 1);
        control<QListWidget>(*d, "Dir1")->setCurrentItem(sub[0]);
        QTest::keyClick(control<QListWidget>(*d, "Dir1"), Qt::Key_Return);
        QCOMPARE(d->openFolder(), QDir::toNativeSeparators(m_scripts + u"/sub"_s));
        control<QListWidget>(*d, "Dir1")->setCurrentRow(0); // only highlighted
        control<QPushButton>(*d, "OKButton")->click();

        const int home
            = control<QComboBox>(*d, "Drive1")->findData(QDir::toNativeSeparators(QStorageInfo(m_current).rootPath()));
        QVERIFY(home >= 0);
        for (int i = 0; i < control<QComboBox>(*d, "Drive1")->count(); ++i) {
            const QString root = control<QComboBox>(*d, "Drive1")->itemData(i).toString();
            if (i != home && QDir(root).isReadable()) {
                control<QComboBox>(*d, "Drive1")->setCurrentIndex(i);
                d->Drive1_Change();
                QCOMPARE(d->openFolder(), root);
                break;
            }
        }
        control<QComboBox>(*d, "Drive1")->setCurrentIndex(home);
        d->Drive1_Change();
        QCOMPARE(control<QComboBox>(*d, "Drive1")->currentIndex(), home);
        control<QPushButton>(*d, "OKButton")->click();
        QCOMPARE(m_avs, (QStringList { QDir::toNativeSeparators(m_scripts + u"/sub"_s), m_current }));
        QVERIFY(m_added.isEmpty());
    }
};

QTEST_MAIN(TestDialog)
#include "tst_dialog.moc"
