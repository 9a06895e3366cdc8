#include "ColorLayer.h"
#include "ColorSpans.h"
#include "ColourReference.h"
#include "DrawnFormat.h"
#include "TemplateEditor.h"

#include <QRandomGenerator>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTextCursor>
#include <QtTest>

using namespace editor;

using namespace Qt::StringLiterals;

namespace {

const QColor resetColor(10, 20, 30);

// One letter per character of the editor's text: the look the layer gives it
// ("-" reset, "P", "F", "C" the painted styles, "." plain).
QString looks(const TemplateEditor &editor)
{
    QString letters;
    for (int i = 0; i < editor.document()->characterCount() - 1; ++i)
        letters += QChar("-PFC."[int(editor.colors()->styleAt(i))]);
    return letters;
}

} // namespace

class TestTemplateEditor : public QObject
{
    Q_OBJECT

    std::unique_ptr<TemplateEditor> m_editor;
    const QStringList m_names { u"BLUR"_s, u"CROP"_s, u"X"_s };

    void colour() { m_editor->colors()->paint(findColorSpans(m_editor->toPlainText(), m_names), resetColor); }
    void insertAt(int pos, const QString &text)
    {
        QTextCursor cursor(m_editor->document());
        cursor.setPosition(pos);
        cursor.insertText(text);
    }

private slots:
    void init()
    {
        m_editor = std::make_unique<TemplateEditor>();
        m_editor->setLineWrapMode(QPlainTextEdit::NoWrap);
        m_editor->resize(400, 200);
        m_editor->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_editor.get()));
    }
    void cleanup() { m_editor.reset(); }

    // Text put in after colouring: a line's text looks like the character
    // before it, a line's start (the one after a comment too) is plain, and
    // so is every line after the first of a pasted text.
    void theLayerFollowsEdits_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("at");
        QTest::addColumn<QString>("inserted");
        QTest::addColumn<QString>("expected");
        QTest::newRow("within a name") << u"blur z"_s << 2 << u"ab"_s << u"FFFFFF--"_s;
        QTest::newRow("behind a comment") << u"# c\nx"_s << 3 << u"d"_s << u"CCCCCF"_s;
        QTest::newRow("on the line after a comment") << u"# c\n\nz"_s << 4 << u"ab"_s << u"CCCC..--"_s;
        QTest::newRow("at the start of the text") << u"blur"_s << 0 << u"z"_s << u".FFFF"_s;
        QTest::newRow("lines pasted into a comment") << u"# c"_s << 3 << u"d\nef\ng"_s << u"CCCCC...."_s;
        QTest::newRow("a line broken inside a name keeps both halves") << u"crop"_s << 2 << u"\n"_s << u"FFFFF"_s;
    }
    void theLayerFollowsEdits()
    {
        QFETCH(QString, text);
        m_editor->setPlainText(text);
        colour();
        QFETCH(int, at);
        QFETCH(QString, inserted);
        insertAt(at, inserted);
        QTEST(looks(*m_editor), "expected");
        // What is drawn is what the layer holds.
        m_editor->viewport()->repaint();
        for (int i = 0; i < m_editor->document()->characterCount() - 1; ++i)
            QCOMPARE(drawnFormat(m_editor.get(), i), m_editor->colors()->format(m_editor->colors()->styleAt(i)));
    }

    // Colouring is no edit of the document: no undo step, no change of the
    // modified state or the text, nothing reported to the document's
    // listeners (a screen reader among them); and painting leaves nothing
    // behind that makes the next edit look larger than it is.
    void colouringLeavesTheDocumentAlone()
    {
        m_editor->setPlainText(u"Blur(%CLIP%) # x\ncrop\n"_s);
        insertAt(0, u"x"_s);
        QTextDocument *document = m_editor->document();
        document->setModified(false);
        const int steps = document->availableUndoSteps();
        QSignalSpy changes(document, &QTextDocument::contentsChange);
        QSignalSpy textChanged(m_editor.get(), &QPlainTextEdit::textChanged);
        colour();
        m_editor->viewport()->repaint();
        QVERIFY(changes.isEmpty() && textChanged.isEmpty());
        QCOMPARE(document->availableUndoSteps(), steps);
        QVERIFY(!document->isModified());
        QCOMPARE(drawnFormat(m_editor.get(), 1).foreground().color(), QColor(128, 64, 64));

        insertAt(18, u"y"_s);
        QCOMPARE(changes.size(), 1);
        QCOMPARE(changes.first(), (QVariantList { 18, 0, 1 }));
        m_editor->undo();
        m_editor->undo();
        QCOMPARE(m_editor->toPlainText(), u"Blur(%CLIP%) # x\ncrop\n"_s);
    }

    // Random texts coloured, edited and coloured again: every character
    // shown must look as the straightforward colouring paints it.
    void everyShownCharacterLooksAsPainted()
    {
        QRandomGenerator rng(19);
        const QStringList pieces = u"Blur|crop|x| |#|\n|%CLIP%|%EXT%|\n\n|(|\t"_s.split(u'|');
        for (int round = 0; round < 60; ++round) {
            QString text;
            const int count = int(rng.bounded(60));
            for (int i = 0; i < count; ++i)
                text += pieces.at(rng.bounded(pieces.size()));
            m_editor->setPlainText(text);
            colour();
            insertAt(int(rng.bounded(text.size() + 1)), pieces.at(rng.bounded(pieces.size())));
            colour();
            m_editor->viewport()->repaint();
            const QString now = m_editor->toPlainText();
            const QList<PaintedStyle> expected = paintedStyles(now.size(), findColorSpansReference(now, m_names));
            const int shown = m_editor->cursorForPosition(QPoint(0, m_editor->viewport()->height())).position();
            for (int i = 0; i < std::min<qsizetype>(shown, now.size()); ++i)
                QVERIFY2(drawnFormat(m_editor.get(), i) == m_editor->colors()->format(expected.at(i)),
                    qPrintable(u"round %1 at %2 of %3"_s.arg(round).arg(i).arg(now)));
        }
    }

    // Colouring again finds the spans anew exactly when the text, the names
    // or the colour changed.
    void colouringAgainFollowsTheText()
    {
        ColorLayer *colors = m_editor->colors();
        m_editor->setPlainText(u"blur crop"_s);
        colors->colour(m_names, resetColor);
        QCOMPARE(looks(*m_editor), u"FFFF-FFFF"_s);
        const quint64 generation = colors->generation();
        colors->colour(m_names, resetColor);
        QCOMPARE(colors->generation(), generation);
        insertAt(4, u"x"_s);
        colors->colour(m_names, resetColor);
        QCOMPARE(looks(*m_editor), u"FFFFF-FFFF"_s);
        colors->colour({ u"CROP"_s }, resetColor);
        QCOMPARE(looks(*m_editor), u"------FFFF"_s);
        colors->colour({ u"CROP"_s }, Qt::red);
        QCOMPARE(colors->format(colors->styleAt(0)).foreground().color(), QColor(Qt::red));
    }

    // A line too long to lay out with all its colours at once shows them
    // around what is in view, wherever it is scrolled to, also after an edit.
    void aLongLineShowsTheColoursInView()
    {
        QString line;
        while (line.size() < 4 * TemplateEditor::LongLine)
            line += u"Blur(1) %CLIP% "_s;
        m_editor->setPlainText(line + u"\nCrop"_s);
        colour();
        QScrollBar *across = m_editor->horizontalScrollBar();
        const auto showsItsColours = [&](const char *where) {
            m_editor->viewport()->repaint();
            QCoreApplication::processEvents();
            m_editor->viewport()->repaint();
            const QTextLine shown = m_editor->document()->firstBlock().layout()->lineAt(0);
            const int from = shown.xToCursor(across->value());
            for (int i = from; i < from + 40; ++i)
                QVERIFY2(drawnFormat(m_editor.get(), i) == m_editor->colors()->format(m_editor->colors()->styleAt(i)),
                    qPrintable(QString::fromLatin1(where) + u" at "_s + QString::number(i)));
        };
        showsItsColours("start");
        across->setValue(across->maximum() / 2);
        showsItsColours("middle");
        across->setValue(across->maximum());
        showsItsColours("end");
        // Text typed in view shifts the colours behind it.
        const int at = m_editor->document()->firstBlock().layout()->lineAt(0).xToCursor(across->value() + 10);
        insertAt(at, u"zz"_s);
        showsItsColours("after an edit");
        QCOMPARE(drawnFormat(m_editor.get(), line.size() + 3).foreground().color(), QColor(128, 64, 64));
    }
};

QTEST_MAIN(TestTemplateEditor)
#include "tst_templateeditor.moc"
