#include "ColorPainter.h"
#include "Completion.h"

#include <QKeyEvent>
#include <QListWidget>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>
#include <QtTest>

#include <memory>

namespace {

QStringList entries(const QListWidget &list)
{
    QStringList result;
    for (int i = 0; i < list.count(); ++i)
        result << list.item(i)->text();
    return result;
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

    void type(const QString &keys) { QTest::keyClicks(m_editor, keys); }
    void press(Qt::Key key) { QTest::keyClick(m_editor, key); }
    int caret() const { return m_editor->textCursor().position(); }
    bool shown() const { return !m_list->isHidden(); }
    QString selected() const { return m_list->currentItem() ? m_list->currentItem()->text() : QString(); }

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
            const bool keypad = key->modifiers() & Qt::KeypadModifier;
            if (m_completion->keyDown(virtualKeyCode(key->key(), keypad), shiftMask(key->modifiers()))) {
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
        fillCompletionList(m_list,
            { QStringLiteral("Crop"), QStringLiteral("ConvertToYV12"), QStringLiteral("Blur"),
                QStringLiteral("colorYUV"), QStringLiteral("BlurMore") });
        m_list->hide();
        m_completion = std::make_unique<Completion>(m_editor, m_list);
        m_swallowed = 0;
        m_editor->installEventFilter(this);
        m_window->show();
        m_editor->setFocus();
    }

    void cleanup() { m_window.reset(); }

    void separatorsAndListSearch()
    {
        QVERIFY(IsLastinString(QString(), 32, 9)); // both missing
        const QList<std::pair<QString, int>> lastSeps { { QString(), 32 }, { QStringLiteral("Blur"), 32 },
            { QStringLiteral("a b\tc"), 9 }, { QStringLiteral("a\tb c"), 32 }, { QStringLiteral("a\r\nb"), 10 },
            { QStringLiteral("a\n\rb"), 13 } };
        for (const auto &[text, code] : lastSeps)
            QCOMPARE(GetLastSep(text), code);

        const QStringList list { QStringLiteral("Blur"), QStringLiteral("colorYUV"), QStringLiteral("Crop") };
        QCOMPARE(findStringPrefix(list, QStringLiteral("C")), 1); // first in list order, any case
        QCOMPARE(findStringPrefix(list, QStringLiteral("crop")), 2);
        QCOMPARE(findStringPrefix(list, QStringLiteral("lur")), -1);
        QCOMPARE(findStringPrefix(list, QString()), -1);
    }

    void keyCodes()
    {
        const QList<std::tuple<int, bool, int>> codes { { Qt::Key_Backspace, false, 8 }, { Qt::Key_Enter, false, 13 },
            { Qt::Key_Escape, false, 27 }, { Qt::Key_Left, false, 37 }, { Qt::Key_Down, false, 40 },
            { Qt::Key_0, false, 48 }, { Qt::Key_Z, false, 90 }, { Qt::Key_F1, false, 112 }, { Qt::Key_F24, false, 135 },
            { Qt::Key_Semicolon, false, 186 }, { Qt::Key_Apostrophe, false, 222 }, { Qt::Key_ParenLeft, false, 57 },
            { Qt::Key_5, true, 101 }, { Qt::Key_Slash, true, 111 }, { Qt::Key_Home, true, 36 },
            { Qt::Key_Eacute, false, 0 } };
        for (const auto &[key, keypad, code] : codes)
            QVERIFY2(virtualKeyCode(key, keypad) == code, QByteArray::number(key, 16));
        QCOMPARE(shiftMask(Qt::ShiftModifier | Qt::AltModifier), 5);
        QCOMPARE(shiftMask(Qt::ControlModifier | Qt::KeypadModifier), 2);
    }

    void listKeepsCaseInsensitiveOrder()
    {
        QCOMPARE(entries(*m_list), QString("Blur BlurMore colorYUV ConvertToYV12 Crop").split(u' '));
        // Refilling replaces; names equal but for case keep their order.
        fillCompletionList(m_list, { QStringLiteral("xy"), QStringLiteral("XY"), QStringLiteral("Ab") });
        QCOMPARE(entries(*m_list), QString("Ab xy XY").split(u' '));
    }

    void typingOffersTheFirstSortedMatch()
    {
        type(QStringLiteral("c"));
        QCOMPARE(m_completion->currentWord(), QStringLiteral("C"));
        QVERIFY(shown());
        QCOMPARE(selected(), QStringLiteral("colorYUV")); // before ConvertToYV12 and Crop
        type(QStringLiteral("r"));
        QCOMPARE(selected(), QStringLiteral("Crop"));
        QTest::keyClick(m_editor, 'O', Qt::ShiftModifier); // modifiers leave the list alone
        QCOMPARE(selected(), QStringLiteral("Crop"));
        QCOMPARE(m_editor->toPlainText(), QStringLiteral("crO"));
        type(QStringLiteral(" ")); // a separator ends the word
        QVERIFY(!shown());
        QCOMPARE(m_list->currentRow(), -1);
        QCOMPARE(m_swallowed, 0);
    }

    void upAndDownMoveInTheListOnlyWhileItShows()
    {
        type(QStringLiteral("c"));
        for (int i = 0; i < 3; ++i)
            press(Qt::Key_Down);
        QCOMPARE(selected(), QStringLiteral("Crop")); // the last entry stays
        for (int i = 0; i < 5; ++i)
            press(Qt::Key_Up);
        QCOMPARE(selected(), QStringLiteral("Blur")); // the first entry stays
        QCOMPARE(m_swallowed, 8);
        QCOMPARE(caret(), 1);

        press(Qt::Key_Escape); // hides, and the editor gets the key too
        QVERIFY(!shown());
        QCOMPARE(m_list->currentRow(), -1);
        setText(QStringLiteral("ab\ncd"), 4);
        press(Qt::Key_Up);
        QCOMPARE(caret(), 1);
        QCOMPARE(m_swallowed, 8);
    }

    void enterAcceptsTheSelectedName()
    {
        QTextCharFormat typed;
        typed.setForeground(EditorColors::Placeholder);
        m_editor->setCurrentCharFormat(typed);
        type(QStringLiteral("x = cR"));
        press(Qt::Key_Return);

        QCOMPARE(m_editor->toPlainText(), QStringLiteral("x = Crop")); // file spelling, no line break
        for (int pos = 4; pos < 8; ++pos) {
            QCOMPARE(formatAt(pos).foreground().color(), EditorColors::FilterName);
            QCOMPARE(formatAt(pos).fontWeight(), int(QFont::Bold));
        }
        QCOMPARE(formatAt(3).foreground().color(), EditorColors::Placeholder);
        QCOMPARE(caret(), 8);
        QVERIFY(!m_editor->textCursor().hasSelection());
        QVERIFY(!shown());
        QCOMPARE(m_completion->currentWord(), QString());

        type(QStringLiteral("("));
        QCOMPARE(formatAt(8).foreground().color(), m_editor->palette().color(QPalette::Text));
        QCOMPARE(formatAt(8).fontWeight(), int(QFont::Normal));
        m_editor->undo(); // "("
        m_editor->undo(); // the whole replacement at once
        QCOMPARE(m_editor->toPlainText(), QStringLiteral("x = cR"));
    }

    void enterWithTheListHiddenBreaksTheLine()
    {
        type(QStringLiteral("Blu"));
        press(Qt::Key_Escape);
        press(Qt::Key_Return);
        QCOMPARE(m_editor->toPlainText(), QStringLiteral("Blu\n"));
        QCOMPARE(selected(), QStringLiteral("Blur")); // the word before the caret still matched
        QVERIFY(shown());
        QCOMPARE(m_swallowed, 0);

        // A current row in a hidden list is never accepted.
        m_completion->reset();
        m_list->setCurrentRow(0);
        QVERIFY(!m_completion->keyDown(VirtualKey::Enter, 0));
        QCOMPARE(m_editor->toPlainText(), QStringLiteral("Blu\n"));
    }

    void theWordIsTakenFromTheTextBeforeTheCaret()
    {
        // The last separator before the caret is the tab, though a space
        // follows later on the line.
        setText(QStringLiteral("x = a\tcr y\nmore"), 8);
        press(Qt::Key_O);
        QCOMPARE(m_completion->currentWord(), QStringLiteral("crO"));
        press(Qt::Key_Return);
        QCOMPARE(m_editor->toPlainText(), QStringLiteral("x = a\tCrop y\nmore"));
        QCOMPARE(caret(), 10);

        setText(QStringLiteral("Crop()\nblur"), 11); // a line break starts a word too
        type(QStringLiteral("m"));
        press(Qt::Key_Return);
        QCOMPARE(m_editor->toPlainText(), QStringLiteral("Crop()\nBlurMore"));
    }

    void otherKeysSearchTheWordAsItWasBeforeThem()
    {
        type(QStringLiteral("cro"));
        press(Qt::Key_Backspace);
        QCOMPARE(m_completion->currentWord(), QStringLiteral("cro")); // taken before the deletion
        QCOMPARE(selected(), QStringLiteral("Crop"));
        QCOMPARE(m_editor->toPlainText(), QStringLiteral("cr"));

        QVERIFY(!m_completion->keyDown(112, 0)); // F1 appends "p"
        QCOMPARE(m_completion->currentWord(), QStringLiteral("crp"));
        QVERIFY(!shown());

        type(QStringLiteral("o"));
        QVERIFY(shown());
        m_completion->reset();
        QVERIFY(!shown());
        QCOMPARE(m_list->currentRow(), -1);
    }
};

QTEST_MAIN(TestCompletion)
#include "tst_completion.moc"
