#include "ColorLayer.h"
#include "Completion.h"
#include "TemplateEditor.h"
#include "Typing.h"

#include <QKeyEvent>
#include <QListWidget>
#include <QTextBlock>
#include <QTextCursor>
#include <QVBoxLayout>
#include <QtTest>

#include <memory>

using namespace editor;

using namespace Qt::StringLiterals;

class TestCompletion : public QObject
{
    Q_OBJECT

    std::unique_ptr<QWidget> m_window;
    TemplateEditor *m_editor = nullptr;
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
    void type(const QString &keys) { typeKeys(m_editor, keys); }
    QString offered() const
    {
        return m_list->isHidden() || !m_list->currentItem() ? QString() : m_list->currentItem()->text();
    }

private slots:
    void init()
    {
        m_window = std::make_unique<QWidget>();
        auto *layout = new QVBoxLayout(m_window.get());
        layout->addWidget(m_editor = new TemplateEditor);
        layout->addWidget(m_list = new QListWidget);
        // Listed as AssumeBFF, AssumeTFF, Blur, BlurMore, colorYUV, ConvertToYV12, Crop.
        fillCompletionList(m_list,
            { u"Crop"_s, u"ConvertToYV12"_s, u"AssumeTFF"_s, u"Blur"_s, u"colorYUV"_s, u"AssumeBFF"_s, u"BlurMore"_s });
        m_list->hide();
        m_completion = std::make_unique<Completion>(m_editor, m_list);
        m_swallowed = 0;
        m_editor->keyDown = [this](const QKeyEvent &key) {
            const bool swallowed = m_completion->keyDown(key);
            m_swallowed += swallowed;
            return swallowed;
        };
        m_editor->keyDone = [this](const QKeyEvent &key) { m_completion->keyDone(key); };
        m_window->show();
        m_editor->setFocus();
    }
    void cleanup()
    {
        m_completion.reset();
        m_window.reset();
    }

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
    }

    // Keys typed into the editor ("‸" is the caret): the text they leave, the
    // entry offered ("": the list is hidden), and how many keys the list
    // took from the editor.
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
        row("a capital typed with Shift extends the word", "‸", "cR", "cR‸", "Crop", 0);
        row("a name typed in full, then Enter, keeps what was typed", "‸", "AssumeTFF()⏎", "AssumeTFF()\n‸", "", 0);
        row("a character no name goes on with hides the list", "‸", "Crop(", "Crop(‸", "", 0);
        row("a separator ends the word", "‸", "cr ", "cr ‸", "", 0);
        row("Backspace searches the word before the caret", "‸", "cro⌫", "cr‸", "Crop", 0);
        row("Left searches the word before the caret", "‸", "blurm←←", "blu‸rm", "Blur", 0);
        row("Down stops at the last entry", "‸", "c↓↓↓", "c‸", "Crop", 3);
        row("Up stops at the first entry", "‸", "c↑↑↑↑↑", "c‸", "AssumeBFF", 5);
        row("Escape hides, and the editor gets it too", "‸", "cro⎋", "cro‸", "", 0);
        row("Up with the list hidden moves the caret", "ab\nc‸d", "↑", "a‸b\ncd", "", 0);
        row("Enter with the list hidden breaks the line, and the new line offers nothing", "‸", "Blu⎋⏎", "Blu\n‸", "",
            0);
        row("Tab takes the chosen name", "‸", "cro⇥", "Crop‸", "", 1);
        row("Tab with the list hidden types a tab", "‸", "x⇥", "x\t‸", "", 0);
        // The tab is the last separator before the caret, not the space behind it.
        row("the word starts behind the last separator before the caret", "x = a\tcr‸ y\nmore", "o⏎",
            "x = a\tCrop‸ y\nmore", "", 1);
        row("a line break starts a word", "Crop()\nblur‸", "m⏎", "Crop()\nBlurMore‸", "", 1);
        // Whatever else moves the caret ends the completion; Enter then breaks the line.
        row("Home hides the list", "x ‸", "cro⇱⏎", "\n‸x cro", "", 0);
        row("Ctrl with an arrow hides the list", "x ‸", "cro⌃←⏎", "x \n‸cro", "", 0);
        row("a selection hides the list", "‸", "cro⇧←⏎", "cr\n‸", "", 0);
        row("an undo hides the list", "x ‸", "cro⌃z⏎", "x \n‸", "", 0);
    }
    void keys()
    {
        QFETCH(QString, text);
        QFETCH(QString, keys);
        setTextAndCaret(text);
        type(keys);
        QTEST(textAndCaret(), "result");
        QTEST(offered(), "offered");
        QCOMPARE(m_list->isHidden(), offered().isEmpty());
        QTEST(m_swallowed, "swallowed");
    }

    // A click anywhere, also where the caret stands, ends the completion: the
    // word the list was for is no longer the one being typed.
    void aClickEndsTheCompletion_data()
    {
        QTest::addColumn<int>("clickAt");
        QTest::addColumn<QString>("result");
        QTest::newRow("inside another line") << 8 << u"ConvertT\n‸oYV12()\ncro"_s;
        QTest::newRow("where the caret is") << 19 << u"ConvertToYV12()\ncro\n‸"_s;
    }
    void aClickEndsTheCompletion()
    {
        QFETCH(int, clickAt);
        setTextAndCaret(u"ConvertToYV12()\n‸"_s);
        type(u"cro"_s);
        QCOMPARE(offered(), u"Crop"_s);
        QTextCursor at(m_editor->document());
        at.setPosition(clickAt);
        QTest::mouseClick(m_editor->viewport(), Qt::LeftButton, {}, m_editor->cursorRect(at).center());
        QVERIFY(m_list->isHidden());
        type(u"⏎"_s);
        QTEST(textAndCaret(), "result");
    }

    // Accepted as the file spells it, in one undo step, bold and brown; what
    // follows is plain text again.
    void anAcceptedNameIsOneUndoStepAndLooksLikeAName()
    {
        type(u"x = cR⏎"_s);
        QVERIFY(m_swallowed == 1 && m_list->isHidden() && !m_editor->textCursor().hasSelection());
        type(u"("_s);
        QCOMPARE(textAndCaret(), u"x = Crop(‸"_s);
        ColorLayer *colors = m_editor->colors();
        for (int pos = 0; pos < 9; ++pos)
            QCOMPARE(colors->styleAt(pos), pos >= 4 && pos < 8 ? PaintedStyle::FilterName : PaintedStyle::Plain);
        m_editor->undo(); // "(" on its own
        QCOMPARE(m_editor->toPlainText(), u"x = Crop"_s);
        m_editor->undo(); // the whole replacement at once
        QCOMPARE(m_editor->toPlainText(), u"x = cR"_s);
    }
};

QTEST_MAIN(TestCompletion)
#include "tst_completion.moc"
