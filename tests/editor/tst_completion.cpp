#include "ColorPainter.h"
#include "Completion.h"

#include <QKeyEvent>
#include <QListWidget>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>
#include <QtTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

QTestEventList typed(const char *text, std::initializer_list<Qt::Key> then = {})
{
    QTestEventList events;
    events.addKeyClicks(QString::fromLatin1(text));
    for (const Qt::Key key : then)
        events.addKeyClick(key);
    return events;
}

} // namespace

class TestCompletion : public QObject
{
    Q_OBJECT

    std::unique_ptr<QWidget> m_window;
    QTextEdit *m_editor = nullptr;
    QListWidget *m_list = nullptr;
    std::unique_ptr<Completion> m_completion;
    int m_swallowed = 0;

    QString shownEntry() const { return m_list->currentItem() ? m_list->currentItem()->text() : QString(); }
    void setText(const QString &text, int caret)
    {
        m_editor->setPlainText(text);
        QTextCursor cursor = m_editor->textCursor();
        cursor.setPosition(caret);
        m_editor->setTextCursor(cursor);
    }
    QTextCharFormat formatAt(int pos) const
    {
        QTextCursor cursor(m_editor->document());
        cursor.setPosition(pos + 1);
        return cursor.charFormat();
    }

protected:
    // Feeds the editor's key presses to the completion before the editor sees
    // them, as the main window does, and swallows what it swallows.
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const auto *key = static_cast<QKeyEvent *>(event);
            const int code = virtualKeyCode(key->key(), key->modifiers() & Qt::KeypadModifier);
            if (code != 0 && m_completion->keyDown(code, shiftMask(key->modifiers()))) {
                ++m_swallowed;
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private slots:
    void init()
    {
        m_window = std::make_unique<QWidget>();
        auto *layout = new QVBoxLayout(m_window.get());
        layout->addWidget(m_editor = new QTextEdit);
        layout->addWidget(m_list = new QListWidget);
        // Listed as Blur, BlurMore, colorYUV, ConvertToYV12, Crop.
        fillCompletionList(m_list, { u"Crop"_s, u"ConvertToYV12"_s, u"Blur"_s, u"colorYUV"_s, u"BlurMore"_s });
        m_list->hide();
        m_completion = std::make_unique<Completion>(m_editor, m_list);
        m_swallowed = 0;
        m_editor->installEventFilter(this);
        m_window->show();
        m_editor->setFocus();
    }
    void cleanup() { m_window.reset(); }

    void helpers()
    {
        QVERIFY(IsLastinString(QString(), 32, 9)); // both missing
        QVERIFY(!IsLastinString(u"a b\tc"_s, 32, 9));
        for (const auto &[text, code] :
            { std::pair { QString(), 32 }, std::pair { u"Blur"_s, 32 }, std::pair { u"a b\tc"_s, 9 },
                std::pair { u"a\tb c"_s, 32 }, std::pair { u"a\r\nb"_s, 10 }, std::pair { u"a\n\rb"_s, 13 } })
            QCOMPARE(GetLastSep(text), code);

        const QStringList list { u"Blur"_s, u"colorYUV"_s, u"Crop"_s };
        QCOMPARE(findStringPrefix(list, u"C"_s), 1); // the first in list order, any case
        QCOMPARE(findStringPrefix(list, u"crop"_s), 2);
        QCOMPARE(findStringPrefix(list, u"lur"_s), -1);
        QCOMPARE(findStringPrefix(list, QString()), -1);

        // Sorted without regard to case; names equal but for case keep their order.
        fillCompletionList(m_list, { u"xy"_s, u"Ab"_s, u"XY"_s, u"ab"_s });
        QStringList entries;
        for (int i = 0; i < m_list->count(); ++i)
            entries << m_list->item(i)->text();
        QCOMPARE(entries, (QStringList { "Ab", "ab", "xy", "XY" }));
    }

    void keyCodes()
    {
        // One key per rule: letters, keypad digits, function keys, the keypad's
        // cursor keys, shifted symbols, keys without a code.
        for (const auto &[key, keypad, code] :
            { std::tuple { Qt::Key_Z, false, 90 }, std::tuple { Qt::Key_5, true, 101 },
                std::tuple { Qt::Key_F24, false, 135 }, std::tuple { Qt::Key_Home, true, 36 },
                std::tuple { Qt::Key_Slash, true, 111 }, std::tuple { Qt::Key_Slash, false, 191 },
                std::tuple { Qt::Key_ParenLeft, false, 57 }, std::tuple { Qt::Key_Eacute, false, 0 } })
            QVERIFY2(virtualKeyCode(key, keypad) == code, QByteArray::number(key, 16));
        QCOMPARE(shiftMask(Qt::ShiftModifier | Qt::AltModifier), 5);
        QCOMPARE(shiftMask(Qt::ControlModifier | Qt::KeypadModifier), 2);
    }

    // Keys typed into the editor: the text and caret they leave, the entry
    // offered ("": the list is hidden), and how many keys the completion
    // swallowed.
    void keys_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("caret");
        QTest::addColumn<QTestEventList>("keys");
        QTest::addColumn<QString>("result");
        QTest::addColumn<int>("resultCaret");
        QTest::addColumn<QString>("offered");
        QTest::addColumn<int>("swallowed");
        const auto row = [](const char *tag, const QString &text, int caret, const QTestEventList &events,
                             const QString &result, int resultCaret, const QString &offered, int swallowed) {
            QTest::newRow(tag) << text << caret << events << result << resultCaret << offered << swallowed;
        };
        QTestEventList shifted = typed("cr");
        shifted.addKeyClick('O', Qt::ShiftModifier);

        row("the first match in list order", "", 0, typed("c"), "c", 1, "colorYUV", 0);
        row("a modified key leaves the list alone", "", 0, shifted, "crO", 3, "Crop", 0);
        row("a separator ends the word", "", 0, typed("cr "), "cr ", 3, "", 0);
        row("Backspace searches the word before it", "", 0, typed("cro", { Qt::Key_Backspace }), "cr", 2, "Crop", 0);
        row("Down stops at the last entry", "", 0, typed("c", { Qt::Key_Down, Qt::Key_Down, Qt::Key_Down }), "c", 1,
            "Crop", 3);
        row("Up stops at the first entry", "", 0, typed("c", { Qt::Key_Up, Qt::Key_Up, Qt::Key_Up }), "c", 1, "Blur",
            3);
        row("Escape hides, and the editor gets it too", "", 0, typed("cro", { Qt::Key_Escape }), "cro", 3, "", 0);
        row("Up with the list hidden moves the caret", "ab\ncd", 4, typed("", { Qt::Key_Up }), "ab\ncd", 1, "", 0);
        row("Enter takes the entry as the file spells it", "", 0, typed("x = cR", { Qt::Key_Return }), "x = Crop", 8,
            "", 1);
        row("Enter with the list hidden breaks the line", "", 0, typed("Blu", { Qt::Key_Escape, Qt::Key_Return }),
            "Blu\n", 4, "Blur", 0);
        // The last separator before the caret is the tab, though a space
        // follows later on the line.
        row("the word starts behind the last separator before the caret", "x = a\tcr y\nmore", 8,
            typed("o", { Qt::Key_Return }), "x = a\tCrop y\nmore", 10, "", 1);
        row("a line break starts a word", "Crop()\nblur", 11, typed("m", { Qt::Key_Return }), "Crop()\nBlurMore", 15,
            "", 1);
    }
    void keys()
    {
        QFETCH(QString, text);
        QFETCH(int, caret);
        QFETCH(QTestEventList, keys);
        QFETCH(QString, offered);
        setText(text, caret);
        keys.simulate(m_editor);
        QTEST(m_editor->toPlainText(), "result");
        QTEST(m_editor->textCursor().position(), "resultCaret");
        QCOMPARE(shownEntry(), offered);
        QCOMPARE(m_list->isHidden(), offered.isEmpty());
        QTEST(m_swallowed, "swallowed");
    }

    void anAcceptedNameIsOneBoldUndoStep()
    {
        QTextCharFormat typed;
        typed.setForeground(EditorColors::Placeholder);
        m_editor->setCurrentCharFormat(typed);
        QTest::keyClicks(m_editor, u"x = cR"_s);
        QTest::keyClick(m_editor, Qt::Key_Return);
        QCOMPARE(m_editor->toPlainText(), u"x = Crop"_s);
        for (int pos = 4; pos < 8; ++pos) {
            QCOMPARE(formatAt(pos).foreground().color(), EditorColors::FilterName);
            QCOMPARE(formatAt(pos).fontWeight(), int(QFont::Bold));
        }
        QCOMPARE(formatAt(3).foreground().color(), EditorColors::Placeholder);
        QVERIFY(!m_editor->textCursor().hasSelection());

        // What follows is plain text again.
        QTest::keyClicks(m_editor, u"("_s);
        QCOMPARE(formatAt(8).foreground().color(), m_editor->palette().color(QPalette::Text));
        QCOMPARE(formatAt(8).fontWeight(), int(QFont::Normal));
        m_editor->undo(); // "("
        m_editor->undo(); // the whole replacement at once
        QCOMPARE(m_editor->toPlainText(), u"x = cR"_s);
    }

    void onlyAShownEntryIsAccepted()
    {
        setText(u"Blu"_s, 3);
        m_list->setCurrentRow(0);
        QVERIFY(!m_completion->keyDown(VirtualKey::Enter, 0));
        QCOMPARE(m_editor->toPlainText(), u"Blu"_s);

        // Reset, as on leaving the editor, hides the list and drops the row.
        QVERIFY(!m_list->isHidden());
        m_completion->reset();
        QVERIFY(m_list->isHidden());
        QCOMPARE(m_list->currentRow(), -1);
    }
};

QTEST_MAIN(TestCompletion)
#include "tst_completion.moc"
