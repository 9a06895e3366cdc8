// Times the colouring of the template editor:
//  (a) the span finder on a 1 MB template, and against the straightforward
//      loop on the same text (a prefix of it unless --whole-loop);
//  (b) finding and showing the colours of a 200 KB template in the editor
//      against setPlainText of the same text;
//  (c) a 3.75 MB template ("Blur(1) %CLIP% " 250,000 times) on one line and
//      on 250,000 lines: loaded, coloured and shown in the editor. With
//      --document also the same in a QTextEdit with the colours written into
//      its document, for comparison (half a minute or more).
// Usage: bench_editor [--finder | --painter | --long] [--whole-loop] [--document] [Filters.txt]
//        (both parts by default; names from data/Filters.txt of the source tree;
//        --whole-loop runs the straightforward loop on the whole 1 MB, which
//        takes minutes, instead of stopping at a prefix that takes ten seconds)
// Run with QT_QPA_PLATFORM=offscreen.
#include "ColorLayer.h"
#include "ColorPainter.h"
#include "ColorSpans.h"
#include "ColourReference.h"
#include "FilterList.h"
#include "RuntimeError.h"
#include "TemplateEditor.h"

#include "Median.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>

using namespace errorlog;

using namespace editor;

using bench::median;

namespace {

double seconds(const std::function<void()> &work)
{
    QElapsedTimer t;
    t.start();
    work();
    return double(t.nsecsElapsed()) / 1e9;
}

// Processor time: steadier than the wall clock on a machine shared with
// other work.
struct Cost
{
    double cpu = 0;
    double wall = 0;
};

Cost cost(const std::function<void()> &work)
{
    const std::clock_t c0 = std::clock();
    const double wall = seconds(work);
    return { double(std::clock() - c0) / CLOCKS_PER_SEC, wall };
}

struct Costs
{
    QList<double> cpu;
    QList<double> wall;
    void operator<<(Cost c)
    {
        cpu << c.cpu;
        wall << c.wall;
    }
    double medianCpu() const { return median(cpu); }
    double medianWall() const { return median(wall); }
};

// About 400 plausible CamelCase names, for when no filter file is at hand.
QStringList madeUpNames()
{
    const QStringList parts { "Convert", "To", "Resize", "Spline", "Bicubic", "Blur", "Sharpen", "Crop", "Add",
        "Borders", "Color", "YUV", "RGB", "Levels", "Tweak", "Overlay", "Mask", "Merge", "Chroma", "Luma", "Fade", "In",
        "Out", "Trim", "Select", "Even", "Odd", "Field", "Frame", "Rate", "Audio", "Dub", "Normalize", "Temporal",
        "Soften", "Deblock", "Denoise", "Flip", "Turn", "Left", "Right", "Info", "Show", "Histogram", "Layer" };
    QRandomGenerator rng(7);
    QStringList names;
    while (names.size() < 400) {
        QString name;
        const int count = 1 + int(rng.bounded(3));
        for (int i = 0; i < count; ++i)
            name += parts.at(rng.bounded(parts.size()));
        if (!names.contains(name))
            names << name;
    }
    return names;
}

// A template as people write them: source lines with placeholders, filter
// calls with arguments, variables, and comments (whole-line and trailing).
QString makeTemplate(const QStringList &names, qsizetype size, quint32 seed)
{
    QRandomGenerator rng(seed);
    QString text;
    text.reserve(size + 200);
    int section = 0;
    while (text.size() < size) {
        switch (rng.bounded(10)) {
        case 0:
            text += QStringLiteral("# --- step %1: %2 for %CLIP% ---\n")
                        .arg(++section)
                        .arg(names.at(rng.bounded(names.size())));
            break;
        case 1: text += QStringLiteral("video = FFmpegSource2(\"%PATH%\\%CLIP%.%EXT%\", atrack=-1)\n"); break;
        case 2:
            text += QStringLiteral("%1(video, %2, %3)   # %4\n")
                        .arg(names.at(rng.bounded(names.size())))
                        .arg(rng.bounded(64))
                        .arg(rng.bounded(16))
                        .arg(names.at(rng.bounded(names.size())).toLower());
            break;
        case 3:
            text += QStringLiteral("c%1 = last.%2(strength=%3.%4, mode=\"fast\")\n")
                        .arg(section)
                        .arg(names.at(rng.bounded(names.size())))
                        .arg(rng.bounded(10))
                        .arg(rng.bounded(100));
            break;
        default:
            text += QStringLiteral("%1(last, width, height, %2)\n")
                        .arg(names.at(rng.bounded(names.size())))
                        .arg(rng.bounded(1000));
            break;
        }
    }
    text.truncate(size);
    return text;
}

void benchFinder(const QStringList &spelled, const QStringList &upper, bool wholeLoop)
{
    const qsizetype size = 1 << 20;
    const QString text = makeTemplate(spelled, size, 1);
    auto finderTime = [&](const QString &part, qsizetype *spans = nullptr) {
        QList<double> runs;
        for (int i = 0; i < 5; ++i)
            runs << cost([&] {
                const qsizetype n = findColorSpans(part, upper).size();
                if (spans)
                    *spans = n;
            }).cpu;
        return median(runs);
    };
    qsizetype spanCount = 0;
    const double fastTime = finderTime(text, &spanCount);

    // The straightforward loop takes minutes on the whole megabyte, so unless
    // asked for the whole text it stops at the first prefix that takes ten
    // seconds, and both sides are compared on that prefix: a measured figure
    // rather than an extrapolated one.
    qsizetype prefix = 4096;
    double loopTime = 0;
    for (;;) {
        const QString part = text.left(prefix);
        loopTime = cost([&] { findColorSpansReference(part, upper); }).cpu;
        std::printf("  straightforward loop on %lld KB: %.3f s\n", qlonglong(prefix / 1024), loopTime);
        std::fflush(stdout);
        if (prefix == size || (!wholeLoop && loopTime > 10))
            break;
        prefix *= 2;
    }
    const double fastOnPrefix = prefix == size ? fastTime : finderTime(text.left(prefix));
    std::printf("colour finder 1 MB (%lld spans): %.4f s; on %lld KB: %.5f s; straightforward loop on %lld KB: %.1f s;"
                " speed-up %.0fx   [processor time]\n",
        qlonglong(spanCount), fastTime, qlonglong(prefix / 1024), fastOnPrefix, qlonglong(prefix / 1024), loopTime,
        loopTime / fastOnPrefix);
}

// An editor as the main window has it: the template font, no wrapping, the
// size of its place in the window.
void setUp(QPlainTextEdit &editor)
{
    editor.setFont(templateFont());
    editor.setLineWrapMode(QPlainTextEdit::NoWrap);
    editor.resize(500, 240);
}

// What ApplyColorScheme does to the editor.
void applyColorScheme(TemplateEditor &editor, const QStringList &upper)
{
    editor.colors()->colour(upper, editor.palette().color(QPalette::ButtonText));
    editor.moveCursor(QTextCursor::Start);
}

// Lets the editor paint what the colouring changed, as the event loop would.
void showNow()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

void benchPainter(const QStringList &spelled, const QStringList &upper)
{
    const QString text = makeTemplate(spelled, 200 * 1024, 2);
    TemplateEditor editor;
    setUp(editor);
    editor.show();
    QCoreApplication::processEvents();

    Costs set, paint, repaint;
    for (int i = 0; i < 9; ++i) {
        editor.clear();
        showNow();
        set << cost([&] {
            editor.setPlainText(text);
            showNow();
        });
        paint << cost([&] {
            applyColorScheme(editor, upper);
            showNow();
        });
        repaint << cost([&] {
            applyColorScheme(editor, upper);
            showNow();
        });
    }
    std::printf("ApplyColorScheme 200 KB: %.3f s; setPlainText: %.3f s; ratio %.2f (target <= 3)"
                "   [processor time, median of 9, each shown]\n",
        paint.medianCpu(), set.medianCpu(), paint.medianCpu() / set.medianCpu());
    std::printf("  wall clock: %.3f s; %.3f s; ratio %.2f\n", paint.medianWall(), set.medianWall(),
        paint.medianWall() / set.medianWall());
    std::printf("  recolouring the coloured text: %.3f s; ratio %.2f\n", repaint.medianCpu(),
        repaint.medianCpu() / set.medianCpu());
}

// The colours the editor shows at `position` must be the layer's.
bool showsLayerColors(const TemplateEditor &editor, int position)
{
    const QTextBlock block = editor.document()->findBlock(position);
    const int at = position - block.position();
    const QTextCharFormat wanted = editor.colors()->format(editor.colors()->styleAt(position));
    for (const QTextLayout::FormatRange &range : block.layout()->formats()) {
        if (range.start <= at && at < range.start + range.length)
            return range.format == wanted;
    }
    return wanted == QTextCharFormat();
}

// Loads, colours and shows a 3.75 MB template as the program does at start:
// processor time from the text's arrival to the painted window.
void benchLongTemplate(const QStringList &upper, bool document)
{
    const auto makeText = [](QChar separator) {
        QString text;
        text.reserve(250000 * 15);
        for (int i = 0; i < 250000; ++i)
            text += QStringLiteral("Blur(1) %CLIP%") + separator;
        return text;
    };
    for (const bool lines : { false, true }) {
        const QString text = makeText(lines ? u'\n' : u' ');
        const QList<PaintedStyle> styles = paintedStyles(text.size(), findColorSpans(text, upper));
        qsizetype runs = 0;
        for (qsizetype i = 0; i < styles.size(); ++i)
            runs += styles[i] != PaintedStyle::Reset && (i == 0 || styles[i] != styles[i - 1]);
        Costs costs;
        bool right = true;
        for (int i = 0; i < 3; ++i) {
            TemplateEditor editor;
            setUp(editor);
            costs << cost([&] {
                editor.setPlainText(text); // LoadTemplate
                applyColorScheme(editor, upper); // ApplyColorScheme
                editor.show();
                showNow();
            });
            for (const int at : { 0, 4, 8, 14, 15 })
                right = right && showsLayerColors(editor, at);
        }
        std::printf("long template %s: %.3f s from load to shown, %lld coloured runs (target <= 2)%s"
                    "   [processor time, median of 3]\n",
            lines ? "on 250,000 lines" : "on one line", costs.medianCpu(), qlonglong(runs),
            right ? "" : "; WRONG COLOURS");
        std::printf("  wall clock: %.3f s\n", costs.medianWall());
        std::fflush(stdout);

        if (document) {
            QTextEdit old;
            old.setFont(templateFont());
            old.setLineWrapMode(QTextEdit::NoWrap);
            old.resize(500, 240);
            const Cost c = cost([&] {
                old.setPlainText(text);
                paintColorSpans(
                    &old, findColorSpans(old.toPlainText(), upper), old.palette().color(QPalette::ButtonText));
                old.show();
                showNow();
            });
            std::printf("  for comparison, the colours written into a QTextEdit's document: %.3f s"
                        "   [processor time, once]\n",
                c.cpu);
            std::fflush(stdout);
        }
    }
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool finderOnly = args.removeAll(QStringLiteral("--finder")) > 0;
    const bool painterOnly = args.removeAll(QStringLiteral("--painter")) > 0;
    const bool longOnly = args.removeAll(QStringLiteral("--long")) > 0;
    const bool wholeLoop = args.removeAll(QStringLiteral("--whole-loop")) > 0;
    const bool document = args.removeAll(QStringLiteral("--document")) > 0;
    const bool all = !finderOnly && !painterOnly && !longOnly;
    const QString path = !args.isEmpty() ? args.first() : QStringLiteral(TOVRANE_SOURCE_DIR "/data/Filters.txt");
    QStringList spelled;
    QStringList upper;
    bool readable = true;
    try {
        // Read as the program reads it at start: the names as written go into
        // the template, the upper-case list to the colouring.
        const FilterList list = readFilterList(path);
        spelled = list.offered;
        upper = list.filterNames;
    } catch (const RuntimeError &) {
        readable = false;
    }
    if (readable) {
        std::printf("filter names: %lld from %s\n", qlonglong(upper.size()), qPrintable(path));
    } else {
        spelled = madeUpNames();
        upper.clear();
        for (const QString &name : spelled)
            upper << upperPerUnit(name);
        std::printf("filter names: %s not readable; using %lld made-up CamelCase names\n", qPrintable(path),
            qlonglong(upper.size()));
    }
    std::fflush(stdout);

    if (all || painterOnly)
        benchPainter(spelled, upper);
    if (all || longOnly)
        benchLongTemplate(upper, document);
    if (all || finderOnly)
        benchFinder(spelled, upper, wholeLoop);
    return 0;
}
