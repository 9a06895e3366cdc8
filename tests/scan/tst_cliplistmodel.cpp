#include "ClipListModel.h"
#include "RuntimeError.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QtTest>

using namespace errorlog;

using namespace scan;

using namespace Qt::StringLiterals;

class TestClipListModel : public QObject
{
    Q_OBJECT

    static QList<ClipRow> sample(int n)
    {
        QList<ClipRow> rows;
        for (int i = 0; i < n; ++i)
            rows.append({ i % 3 != 0, u"clip%1.avi"_s.arg(i), u"/clips"_s,
                i % 3 == 0 ? ScriptMark::Exists : ScriptMark::None });
        return rows;
    }

private slots:
    // What each column shows; the check box belongs to the file column alone.
    void cellsAndCheckBoxes()
    {
        ClipListModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.setRows(sample(5));
        const QStringList cells = { u"clip1.avi"_s, u"/clips"_s, u"-"_s };
        for (int c = 0; c < model.columnCount(); ++c) {
            QCOMPARE(model.index(1, c).data().toString(), cells.at(c));
            QCOMPARE(model.flags(model.index(1, c)).testFlag(Qt::ItemIsUserCheckable), c == 0);
            QCOMPARE(model.index(1, c).data(Qt::CheckStateRole).isValid(), c == 0);
        }
        QCOMPARE(model.index(0, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
        QCOMPARE(model.index(1, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
    }

    // A scan may list many thousand clips: a whole-list change is one signal,
    // and a change that changes nothing is none.
    void wholeListChangesAreOneSignal()
    {
        ClipListModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        model.setRows(sample(5000));
        QCOMPARE(reset.size(), 1);
        model.setAllChecked(false);
        QCOMPARE(changed.size(), 1);
        QCOMPARE(changed.at(0).at(0).toModelIndex(), model.index(0, 0));
        QCOMPARE(changed.at(0).at(1).toModelIndex(), model.index(4999, 0));
        QVERIFY(std::none_of(model.rows().cbegin(), model.rows().cend(), [](const ClipRow &r) { return r.checked; }));

        model.setRows(sample(3));
        QCOMPARE(reset.size(), 2);
        model.clear();
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(reset.size(), 3);
        changed.clear();
        model.setAllChecked(true);
        QCOMPARE(changed.size(), 0);
    }

    // One row's change tells that cell; a change that changes nothing tells
    // nothing. The user's click arrives as a check state, on the file column
    // only.
    void oneRowChanges()
    {
        ClipListModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.setRows(sample(10));
        model.setAllChecked(false);
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        model.setChecked(4, false);
        model.setChecked(7, true);
        model.setAvs(9, ScriptMark::None);
        QVERIFY(model.setData(model.index(8, 0), QVariant::fromValue(Qt::Checked), Qt::CheckStateRole));
        QVERIFY(!model.setData(model.index(8, 1), Qt::Unchecked, Qt::CheckStateRole));
        QVERIFY(!model.setData(model.index(8, 0), u"x"_s, Qt::EditRole));
        QCOMPARE(changed.size(), 3);
        QCOMPARE(changed.at(0).at(0).toModelIndex(), model.index(7, 0));
        QCOMPARE(changed.at(1).at(0).toModelIndex(), model.index(9, 2));
        QCOMPARE(changed.at(2).at(0).toModelIndex(), model.index(8, 0));
        QVERIFY(model.rows().at(7).checked && model.rows().at(8).checked);
        QCOMPARE(model.rows().at(9).avs, ScriptMark::None);
    }

    // A row that is not there is refused and changes nothing.
    void rowsOutOfRangeAreRefused()
    {
        ClipListModel model;
        model.setRows(sample(5000));
        const QList<ClipRow> before = model.rows();
        for (int row : { -1, 5000 }) {
            QVERIFY_THROWS_EXCEPTION(RuntimeError, model.setAvs(row, ScriptMark::Exists));
            QVERIFY_THROWS_EXCEPTION(RuntimeError, model.setChecked(row, true));
        }
        QCOMPARE(model.rows(), before);
    }
};

QTEST_GUILESS_MAIN(TestClipListModel)
#include "tst_cliplistmodel.moc"
