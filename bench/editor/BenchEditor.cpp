// Cost of the colour overlay on programs of 200, 2,000 and 20,000 lines
// with the view in the middle: one typed letter (its line recoloured alone)
// and a repaint of the whole visible area; then the same on one very long
// coloured line (50 KB to 1 MB), where only the visible part may cost.
// Figures are reported, not asserted.
// Run offscreen: QT_QPA_PLATFORM=offscreen bench-editor
#include "editor/ColMemo.h"
#include "editor/WorkbenchScheme.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QTextBlock>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <vector>

// Counts heap allocations so that a paint's own allocations can be reported.
static std::atomic<long> gAllocations{0};
void* operator new(std::size_t n)
{
    ++gAllocations;
    if (void* p = std::malloc(n ? n : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

using namespace tarko;

namespace {

std::string program(int lines)
{
    std::string source;
    for (const char* name : {"Memory", "Idealgewicht", "Koordinatensystem", "Grafikdesign"}) {
        QFile f(QStringLiteral(TARKO_SOURCE_DIR "/resources/examples/%1.trk").arg(QString::fromLatin1(name)));
        if (f.open(QIODevice::ReadOnly))
            source += f.readAll().toStdString() + "\r\n";
    }
    std::vector<std::string> pool;
    size_t from = 0;
    while (from <= source.size()) {
        const size_t to = source.find("\r\n", from);
        pool.push_back(source.substr(from, to == std::string::npos ? std::string::npos : to - from));
        if (to == std::string::npos)
            break;
        from = to + 2;
    }
    std::string text;
    for (int i = 0; i < lines; ++i) {
        text += pool[size_t(i) % pool.size()];
        if (i + 1 < lines)
            text += "\r\n";
    }
    return text;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

struct Figures {
    double typedLetter, lineColours, fullRepaint, wholeColours, plainRepaint;
    long overlayAllocs, repaintAllocs;
    int visibleLines;
};

// The editor as the workbench shows it: 10 pt "Courier New", no wrapping,
// the workbench's rules (or none), 800 x 700 pixels.
void setUp(TColorMemo& memo, bool rules)
{
    QFont f(QStringLiteral("Courier New"), 10);
    f.setFamilies({QStringLiteral("Courier New"), QStringLiteral("Liberation Mono"), QStringLiteral("DejaVu Sans Mono")});
    memo.setFont(f);
    memo.setLineWrapMode(QPlainTextEdit::NoWrap);
    if (rules)
        memo.SetColorRules(WorkbenchColorRules());
    memo.SetTabWidthPixels(24);
    memo.resize(800, 700);
    memo.show();
}

// One typed letter: the key event and the paint it causes, in milliseconds.
double typeLetter(TColorMemo& memo)
{
    QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
    QElapsedTimer t;
    t.start();
    QApplication::sendEvent(&memo, &press);
    QApplication::processEvents();
    return t.nsecsElapsed() / 1e6;
}

Figures measure(int lines, bool rules = true)
{
    TColorMemo memo;
    setUp(memo, rules);
    memo.SetWinText(program(lines));
    memo.SetCaretLine(lines / 2);
    memo.SetCaretColumn(3);
    memo.centerCursor();
    QApplication::processEvents();

    QElapsedTimer t;
    const int rounds = rules ? 200 : 50;
    std::vector<double> typed, lineOnly, full, whole;
    for (int i = 0; i < rounds; ++i) {
        typed.push_back(typeLetter(memo));
        if (rules && memo.LastDrawRequest() != TColorMemo::TDrawRequest::CurrentLine)
            std::fprintf(stderr, "typed letter did not recolour its line alone\n");

        t.start();
        memo.ComputeOverlay(true);
        lineOnly.push_back(t.nsecsElapsed() / 1e6);

        // Take the letter out again (a whole-area recolouring, not timed).
        QTextCursor c = memo.textCursor();
        c.deletePreviousChar();
        QApplication::processEvents();

        t.start();
        memo.viewport()->repaint();
        full.push_back(t.nsecsElapsed() / 1e6);

        t.start();
        memo.ComputeOverlay(false);
        whole.push_back(t.nsecsElapsed() / 1e6);
    }
    const long before = gAllocations.load();
    for (int i = 0; i < 100; ++i)
        memo.ComputeOverlay(false);
    Figures fig;
    fig.overlayAllocs = gAllocations.load() - before;
    const long beforeRepaint = gAllocations.load();
    memo.viewport()->repaint();
    fig.repaintAllocs = gAllocations.load() - beforeRepaint;
    fig.typedLetter = median(typed);
    fig.lineColours = median(lineOnly);
    fig.fullRepaint = median(full);
    fig.wholeColours = median(whole);
    fig.visibleLines = memo.LineOfOffset(memo.LastScanEnd()) - memo.LineOfOffset(memo.LastScanStart());
    return fig;
}

struct LongLineFigures {
    double typedLetter, caretBlink, fullRepaint, colours;
};

// One line of `bytes` characters between two short ones, the caret and the
// view in its middle: a typed letter (key and paint), the repaint of the
// caret's strip as its blinking causes it, a full repaint.
LongLineFigures measureLongLine(int bytes, bool rules, int rounds)
{
    TColorMemo memo;
    setUp(memo, rules);
    std::string line;
    while (line.size() < size_t(bytes))
        line += "Ausgabe \"abc\" 1 ";
    memo.SetWinText("Pause 1\r\n" + line + "\r\nPause 2");
    memo.SetCaretLine(1);
    memo.SetCaretColumn(bytes / 2);
    memo.ensureCursorVisible();
    QApplication::processEvents();

    QElapsedTimer t;
    std::vector<double> typed, blink, full, colours;
    for (int i = 0; i < rounds; ++i) {
        typed.push_back(typeLetter(memo));

        QTextCursor c = memo.textCursor();
        c.deletePreviousChar();
        QApplication::processEvents();

        const QRect caret = memo.cursorRect().adjusted(-2, 0, 2, 0);
        t.start();
        memo.viewport()->repaint(caret);
        blink.push_back(t.nsecsElapsed() / 1e6);

        t.start();
        memo.viewport()->repaint();
        full.push_back(t.nsecsElapsed() / 1e6);

        t.start();
        memo.ComputeOverlay(false);
        colours.push_back(t.nsecsElapsed() / 1e6);
    }
    return {median(typed), median(blink), median(full), median(colours)};
}

void linesTable()
{
    std::printf("Colour overlay, workbench rules, view in the middle, medians of 200 rounds (ms)\n\n");
    std::printf("| lines | typed letter: key + paint | its line's colours alone | full repaint: Qt + overlay | "
                "visible area's colours alone | same repaint without rules | visible lines | "
                "allocations: 100 overlay passes / one full repaint / same without rules |\n");
    std::printf("|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    for (int lines : {200, 2000, 20000}) {
        const Figures f = measure(lines);
        const Figures plain = measure(lines, false);
        std::printf("| %d | %.3f | %.4f | %.3f | %.4f | %.3f | %d | %ld / %ld / %ld |\n", lines, f.typedLetter,
                    f.lineColours, f.fullRepaint, f.wholeColours, plain.fullRepaint, f.visibleLines, f.overlayAllocs,
                    f.repaintAllocs, plain.repaintAllocs);
    }
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // "bench-editor long [ROUNDS [LENGTH...]]" measures only the long line.
    const bool longOnly = argc > 1 && std::string(argv[1]) == "long";
    const int rounds = longOnly && argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;
    if (!longOnly)
        linesTable();

    std::printf("\nOne long coloured line (\"Ausgabe \\\"abc\\\" 1 \" repeated), caret and view in its middle, "
                "medians of %d rounds (ms)\n\n", rounds);
    std::printf("| line length | typed letter: key + paint | caret blink repaint | full repaint | "
                "visible area's colours alone | same three without rules |\n");
    std::printf("|---:|---:|---:|---:|---:|---:|\n");
    std::vector<int> lengths{50000, 200000, 1000000};
    if (longOnly && argc > 3) {
        lengths.clear();
        for (int i = 3; i < argc; ++i)
            lengths.push_back(std::max(16, std::atoi(argv[i])));
    }
    for (int bytes : lengths) {
        const LongLineFigures f = measureLongLine(bytes, true, rounds);
        const LongLineFigures plain = measureLongLine(bytes, false, rounds);
        std::printf("| %.1f KB | %.3f | %.3f | %.3f | %.3f | %.3f / %.3f / %.3f |\n", bytes / 1000.0, f.typedLetter,
                    f.caretBlink, f.fullRepaint, f.colours, plain.typedLetter, plain.caretBlink, plain.fullRepaint);
        std::fflush(stdout);
    }
    return 0;
}
