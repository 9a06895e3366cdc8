#include "Controls.h"
#include "ProgramFolder.h"
#include "ScriptedDialogs.h"
#include "frmAbout.h"
#include "frmSplash.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

using namespace appcore;

using namespace ui;

using namespace Qt::StringLiterals;

class TestSplashAbout : public QObject
{
    Q_OBJECT

private slots:
    void splashSetting_data()
    {
        QTest::addColumn<QByteArray>("settings"); // "" means no file at all
        QTest::addColumn<bool>("shown");
        QTest::newRow("1 skips the splash") << QByteArray("[Settings]\r\nSplash=1\r\n") << false;
        QTest::newRow("0 shows it") << QByteArray("[Settings]\r\nSplash=0\r\n") << true;
        QTest::newRow("2 shows it") << QByteArray("[Settings]\r\nSplash=2\r\n") << true;
        QTest::newRow("missing key") << QByteArray("[Settings]\r\nMode=1\r\n") << true;
        QTest::newRow("no settings file") << QByteArray() << true;
    }
    void splashSetting()
    {
        QFETCH(QByteArray, settings);
        QFETCH(bool, shown);
        ProgramFolder folder;
        if (!settings.isEmpty())
            folder.write(QStringLiteral("Settings.ini"), settings);

        int opened = 0;
        bool splashVisibleWhenOpened = true;
        frmSplash *splash = new frmSplash(folder.info(), [&] {
            ++opened;
            splashVisibleWhenOpened = splash->isVisible();
        });
        QPointer<frmSplash> alive(splash);
        splash->setAttribute(Qt::WA_DeleteOnClose);
        splash->Form_Load();
        QVERIFY(QFile::exists(folder.file(QStringLiteral("Settings.ini"))));
        QCOMPARE(splash->isVisible(), shown);
        if (shown) {
            QCOMPARE(
                control<QLabel>(*splash, "lblVersion")->text(), QStringLiteral("version " TOVRANE_PROJECT_VERSION));
            QVERIFY(control<QTimer>(*splash, "Timer1")->isActive()
                && control<QTimer>(*splash, "Timer1")->interval() == 1000);
            // The fourth tick opens the main window.
            for (int tick = 1; tick <= 3; ++tick)
                splash->Timer1_Timer();
            QCOMPARE(opened, 0);
            splash->Timer1_Timer();
        }
        QCOMPARE(opened, 1);
        QVERIFY(!splashVisibleWhenOpened && !control<QTimer>(*splash, "Timer1")->isActive());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!alive);
    }

    void mainWindowOpensOnceEvenWhenItsStartLetsEventsRun()
    {
        ProgramFolder folder;
        int opened = 0;
        frmSplash splash(folder.info(), [&] {
            ++opened;
            // The main window's start-up lets events run for a while.
            QEventLoop startUp;
            QTimer::singleShot(2300, &startUp, &QEventLoop::quit);
            startUp.exec();
        });
        control<QTimer>(splash, "Timer1")->setInterval(100);
        splash.Form_Load();
        QTRY_COMPARE_WITH_TIMEOUT(opened, 1, 5000);
        QTest::qWait(500);
        QCOMPARE(opened, 1);
    }

    void aboutShowsVersionCopyrightAndOpensTheSite()
    {
        ProgramFolder folder;
        ScriptedDialogs dialogs;
        // Shows what it is handed, whatever the maker's name and site.
        ProgramInfo info = folder.info();
        info.copyright = u"Copyright \u00a9 1999 Someone Else"_s;
        info.webSite = u"http://maker.example"_s;
        frmAbout about(info, dialogs);
        QCOMPARE(about.windowTitle(), QStringLiteral("Tovrane v" TOVRANE_PROJECT_VERSION));
        QCOMPARE(control<QLabel>(about, "lblCopyright")->text(), u"Copyright \u00a9 1999 Someone Else"_s);
        QVERIFY(control<QLabel>(about, "txtURL")->text().contains(u"http://maker.example/freeware/tovrane"_s));
        emit control<QLabel>(about, "txtURL")->linkActivated(u"http://maker.example/freeware/tovrane"_s);
        QCOMPARE(dialogs.openedUrls, QStringList { u"http://maker.example/freeware/tovrane"_s });

        QTimer::singleShot(0, &about, [&] { control<QPushButton>(about, "cmdOK")->click(); });
        QCOMPARE(about.exec(), int(QDialog::Accepted));
    }
};

QTEST_MAIN(TestSplashAbout)
#include "tst_splashabout.moc"
