#include "ColorPainter.h"
#include "ColorSpans.h"

#include <QRandomGenerator>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QtTest>

using namespace editor;

namespace {

const QColor resetColor(10, 20, 30);
const QColor colourOf[] = { resetColor, EditorColors::Placeholder, EditorColors::FilterName, EditorColors::Comment };

// Every character's format. A separator's format is what the block after it
// reports; any other character's is read through a cursor behind it.
QList<QTextCharFormat> allFormats(QTextEdit &editor)
{
    QTextDocument *document = editor.document();
    QList<QTextCharFormat> formats;
    for (int pos = 0; pos < document->characterCount() - 1; ++pos) {
        const QTextBlock block = document->findBlock(pos);
        QTextCursor cursor(document);
        cursor.setPosition(pos + 1);
        formats << (pos == block.position() + block.length() - 1 ? block.next().charFormat() : cursor.charFormat());
    }
    return formats;
}

QTextCharFormat look(const QColor &colour, bool bold, bool italic = false)
{
    QTextCharFormat f;
    f.setForeground(colour);
    f.setFontWeight(bold ? QFont::Bold : QFont::Normal);
    f.setFontItalic(italic);
    return f;
}

} // namespace

class TestColorPainter : public QObject
{
    Q_OBJECT

private slots:
    // Random texts with random leftovers of earlier formatting (some exactly a
    // painted style, so that skipping is tried; some with other properties),
    // coloured, coloured again after an edit, and once more unchanged: every
    // character must get exactly its style and keep its other properties, one
    // undo must restore the formats as they were, and recolouring an unchanged
    // text must edit nothing.
    void everyCharacterGetsItsStyleInOneUndoStep()
    {
        QRandomGenerator rng(77);
        const QStringList pieces = QStringLiteral("Blur|crop|x| |#|\n|%CLIP%|\n\n").split(u'|');
        const QStringList names = QStringLiteral("BLUR|CROP|X").split(u'|');
        QList<QTextCharFormat> leftovers;
        for (const QColor &c : colourOf)
            leftovers << look(c, false) << look(c, true);
        QTextCharFormat underline;
        underline.setFontUnderline(true);
        QTextCharFormat family;
        family.setFontFamilies({ QStringLiteral("DejaVu Serif") });
        QTextCharFormat onlyColour; // no weight set: not painted yet
        onlyColour.setForeground(resetColor);
        leftovers << look(resetColor, false, true) << underline << family << onlyColour;

        QTextEdit editor;
        for (int round = 0; round < 150; ++round) {
            QString text;
            // Now and then a text long enough to be laid out stepwise.
            const int pieceCount = round % 25 == 0 ? 2000 : int(rng.bounded(40));
            for (int i = 0; i < pieceCount; ++i)
                text += pieces.at(rng.bounded(pieces.size()));
            editor.setPlainText(text);
            for (int i = 0; i < 6 && !text.isEmpty(); ++i) {
                const int start = int(rng.bounded(text.size()));
                const QTextCharFormat &leftover = leftovers.at(rng.bounded(leftovers.size()));
                QTextCursor cursor(editor.document());
                cursor.setPosition(start);
                cursor.setPosition(
                    start + 1 + int(rng.bounded(qMin<qsizetype>(8, text.size() - start))), QTextCursor::KeepAnchor);
                cursor.mergeCharFormat(leftover);
            }
            for (int pass = 0; pass < 3; ++pass) {
                if (pass == 1) {
                    QTextCursor cursor(editor.document());
                    cursor.setPosition(int(rng.bounded(editor.toPlainText().size() + 1)));
                    cursor.insertText(
                        pieces.at(rng.bounded(pieces.size())), leftovers.at(rng.bounded(leftovers.size())));
                }
                const QString current = editor.toPlainText();
                const QList<QTextCharFormat> before = allFormats(editor);
                const int steps = editor.document()->availableUndoSteps();
                editor.document()->setModified(false);

                const QList<ColorSpan> spans = findColorSpans(current, names);
                paintColorSpans(&editor, spans, resetColor);

                const QByteArray where = "round " + QByteArray::number(round) + " pass " + QByteArray::number(pass);
                QCOMPARE(editor.toPlainText(), current);
                const QList<PaintedStyle> styles = paintedStyles(current.size(), spans);
                const QList<QTextCharFormat> after = allFormats(editor);
                for (qsizetype pos = 0; pos < current.size(); ++pos) {
                    const int s = int(styles.at(pos));
                    const QTextCharFormat &f = after.at(pos);
                    QVERIFY2(f.foreground() == QBrush(colourOf[s])
                            && f.fontWeight() == (s == 1 || s == 2 ? QFont::Bold : QFont::Normal) && !f.fontItalic()
                            && f.fontUnderline() == before.at(pos).fontUnderline()
                            && f.fontFamilies() == before.at(pos).fontFamilies(),
                        where + " at " + QByteArray::number(pos));
                }
                QVERIFY2(editor.textCursor().position() == 0 && !editor.textCursor().hasSelection(), where);

                if (editor.document()->availableUndoSteps() == steps || pass == 2) {
                    QVERIFY2(after == before && !editor.document()->isModified(), where);
                    QCOMPARE(editor.document()->availableUndoSteps(), steps);
                    continue;
                }
                editor.undo();
                QVERIFY2(allFormats(editor) == before, where);
                editor.redo();
                QVERIFY2(allFormats(editor) == after, where);
            }
        }
    }
};

QTEST_MAIN(TestColorPainter)
#include "tst_colorpainter.moc"
