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

class TestCompletion : public QObject
{
    Q_OBJECT

    std::unique_ptr<QWidget> m_window;
    QTextEdit *m_editor = nullptr;
    QListWidget *m_list = nullptr;
    std::unique_ptr<Completion> m_completion;
    int m_swallowed = 0;

    // The editor's text with "‸" where the caret is.
    QString textAndCaret() const { return m_editor->toPlainText().insert(m_editor->textCursor().position(), u'‸'); }
    void setTextAndCaret(const QString &text)
    {
        m_editor->setPlainText(QString(text).remove(u'‸'));
        QTextCursor cursor = m_editor->textCursor();
        cursor.setPosition(int(text.indexOf(u'‸')));
        m_editor->setTextCursor(cursor);
    }
    // Types `keys`: "↑", "↓", "⌫", "⎋" and "⏎" are Up, Down, Backspace,
    // Escape and Return; "⇧" holds Shift for the next key.
    void type(const QString &keys)
    {
        const QHash<QChar, Qt::Key> named { { u'↑', Qt::Key_Up }, { u'↓', Qt::Key_Down }, { u'⌫', Qt::Key_Backspace },
            { u'⎋', Qt::Key_Escape }, { u'⏎', Qt::Key_Return } };
        Qt::KeyboardModifiers shift;
        for (const QChar c : keys) {
            if (c == u'⇧')
                shift = Qt::ShiftModifier;
            else if (named.contains(c))
                QTest::keyClick(m_editor, named.value(c));
            else
                QTest::keyClick(m_editor, c.toLatin1(), std::exchange(shift, Qt::NoModifier));
        }
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
            if (m_completion->keyDown(keyDownCode(*key), shiftMask(key->modifiers()))) {
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

    // Keys typed into the editor ("‸" is the caret): the text they leave, the
    // entry offered ("": the list is hidden), and how many keys the
    // completion swallowed.
    void keys_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QString>("offered");
        QTest::addColumn<int>("swallowed");
        const auto row = [](const char *tag, const QString &text, const QString &keys, const QString &result,
                             const QString &offered,
                             int swallowed) { QTest::newRow(tag) << text << keys << result << offered << swallowed; };
        row("the first match in list order", "‸", "c", "c‸", "colorYUV", 0);
        row("a modified key leaves the list alone", "‸", "cr⇧O", "crO‸", "Crop", 0);
        row("a separator ends the word", "‸", "cr ", "cr ‸", "", 0);
        row("Backspace searches the word before it", "‸", "cro⌫", "cr‸", "Crop", 0);
        row("Down stops at the last entry", "‸", "c↓↓↓", "c‸", "Crop", 3);
        row("Up stops at the first entry", "‸", "c↑↑↑", "c‸", "Blur", 3);
        row("Escape hides, and the editor gets it too", "‸", "cro⎋", "cro‸", "", 0);
        row("Up with the list hidden moves the caret", "ab\nc‸d", "↑", "a‸b\ncd", "", 0);
        row("Enter with the list hidden breaks the line", "‸", "Blu⎋⏎", "Blu\n‸", "Blur", 0);
        // The tab is the last separator before the caret, not the space behind it.
        row("the word starts behind the last separator before the caret", "x = a\tcr‸ y\nmore", "o⏎",
            "x = a\tCrop‸ y\nmore", "", 1);
        row("a line break starts a word", "Crop()\nblur‸", "m⏎", "Crop()\nBlurMore‸", "", 1);
    }
    void keys()
    {
        QFETCH(QString, text);
        QFETCH(QString, keys);
        QFETCH(QString, offered);
        setTextAndCaret(text);
        type(keys);
        QTEST(textAndCaret(), "result");
        QCOMPARE(m_list->currentItem() ? m_list->currentItem()->text() : QString(), offered);
        QCOMPARE(m_list->isHidden(), offered.isEmpty());
        QTEST(m_swallowed, "swallowed");
    }

    // Accepted as the file spells it, bold and brown in one undo step; what
    // follows is plain text again.
    void anAcceptedNameIsOneBoldUndoStep()
    {
        QTextCharFormat typed;
        typed.setForeground(EditorColors::Placeholder);
        m_editor->setCurrentCharFormat(typed);
        type(u"x = cR⏎"_s);
        QVERIFY(m_swallowed == 1 && m_list->isHidden() && !m_editor->textCursor().hasSelection());
        type(u"("_s);
        QCOMPARE(textAndCaret(), u"x = Crop(‸"_s);
        for (int pos = 3; pos < 9; ++pos) {
            const QColor colour = pos == 3 ? EditorColors::Placeholder
                : pos == 8                 ? m_editor->palette().color(QPalette::Text)
                                           : EditorColors::FilterName;
            QCOMPARE(formatAt(pos).foreground().color(), colour);
            QCOMPARE(formatAt(pos).fontWeight(), int(pos == 3 || pos == 8 ? QFont::Normal : QFont::Bold));
        }
        m_editor->undo(); // "("
        m_editor->undo(); // the whole replacement at once
        QCOMPARE(m_editor->toPlainText(), u"x = cR"_s);

        // A hidden list may still hold a row the user never chose: Enter
        // leaves it; reset, as on leaving the editor, drops it.
        setTextAndCaret(u"Blu‸"_s);
        m_list->setCurrentRow(0);
        QVERIFY(!m_completion->keyDown(VirtualKey::Enter, 0));
        QCOMPARE(m_editor->toPlainText(), u"Blu"_s);
        QVERIFY(!m_list->isHidden());
        m_completion->reset();
        QVERIFY(m_list->isHidden() && m_list->currentRow() == -1);
    }
};

QTEST_MAIN(TestCompletion)
#include "tst_completion.moc"
