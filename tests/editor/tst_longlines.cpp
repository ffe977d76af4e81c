// Lines over 1000 characters are laid out, hit and edited by the editor
// itself. Random sequences of keys and mouse actions drive such an editor
// and one that leaves every line to Qt's layout; after every action both
// must show the same text, caret, selection and scroll position, and at the
// end they must go back and forth through the same undo steps. A difference
// is shrunk to a shortest sequence that still shows it, which is printed.
//
// `make test` runs a fixed seed. A long run by hand:
//   TARKO_LONGLINE_SEED=7 TARKO_LONGLINE_RUNS=500 QT_QPA_PLATFORM=offscreen build/tests/editor/tst_longlines
// (TARKO_LONGLINE_ACTIONS sets the actions per run, TARKO_LONGLINE_RUN=n repeats run n of the seed alone).
// Many seeds, two processes at a time: tests/editor/sweep_longlines.sh 1 200
#include "LongLineActions.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QScrollBar>
#include <QTextBlock>
#include <QtTest>

#include <climits>
#include <functional>
#include <memory>
#include <random>

namespace {

// ---------------------------------------------------------------- the editors

struct ComparedEditor {
    explicit ComparedEditor(const std::string& text, bool byQt)
    {
        memo.setFont(testFont());
        ApplyProgramEditorScheme(memo);
        if (byQt)
            layOutByQt(memo);
        memo.SetTabWidthPixels(24);
        memo.SetWinText(text);
        memo.resize(500, 300);
        memo.show();
        // Qt widens the scroll range as it lays lines out; the editor knows
        // its long lines' widths at once. Every line laid out from the
        // start gives both the range of the widest line.
        for (QTextBlock b = memo.document()->begin(); b.isValid(); b = b.next())
            layoutOf(memo).blockBoundingRect(b);
    }
    TColorMemo memo;
};

// What must be the same on both editors after every action. Not the end
// of the horizontal range: the editor rounds it up to 64 px for a long
// line, so that typing there does not change it at every letter.
QString stateOf(TColorMemo& m)
{
    const QTextCursor c = m.textCursor();
    const QString text = m.document()->toPlainText();
    return QStringLiteral("length %1, text hash %2, caret %3, anchor %4, scroll %5/%6 of %7, %8")
        .arg(text.size())
        .arg(qHash(text))
        .arg(c.position())
        .arg(c.anchor())
        .arg(m.verticalScrollBar()->value())
        .arg(m.horizontalScrollBar()->value())
        .arg(m.verticalScrollBar()->maximum())
        .arg(m.Modified() ? "modified" : "unmodified");
}

// Where two texts first differ, for the message.
QString firstDifference(TColorMemo& a, TColorMemo& b)
{
    const QString x = a.document()->toPlainText(), y = b.document()->toPlainText();
    int i = 0;
    while (i < x.size() && i < y.size() && x[i] == y[i])
        ++i;
    if (i == x.size() && i == y.size())
        return {};
    return QStringLiteral(" (texts differ from %1: \"%2\" against \"%3\")").arg(i).arg(x.mid(i, 20), y.mid(i, 20));
}

// ---------------------------------------------------------------- random sequences

std::string randomText(std::mt19937& rnd)
{
    static const char* words[] = {"Ausgabe", "\"gr\xFC\xDF\"", "Falls", "x", "<", "1", "rot", "Pause", "Wiederhole",
                                  "mal", "Ende", "a_b", "12,5", "(x)", "\t", "  "};
    std::string text;
    const int lines = 40 + int(rnd() % 50);
    for (int l = 0; l < lines; ++l) {
        if (l > 0)
            text += "\r\n";
        int length = 0;
        switch (rnd() % 10) {
        case 0: length = 1001 + int(rnd() % 2500); break;  // long
        case 1: length = 985 + int(rnd() % 16); break;     // just short of long
        case 2: length = 0; break;
        default: length = int(rnd() % 70);
        }
        std::string line;
        while (line.size() < size_t(length)) {
            line += words[rnd() % std::size(words)];
            line += ' ';
        }
        line.resize(size_t(length));
        text += line;
    }
    return text;
}

Action randomAction(std::mt19937& rnd, TColorMemo& m)
{
    auto pick = [&](int n) { return int(rnd() % unsigned(n)); };
    const QRect view = m.viewport()->rect();
    auto point = [&] {
        // mostly on a line; now and then below the text or at the edges
        const int lineHeight = std::max(1, int(layoutOf(m).LineHeight()));
        const int y = pick(4) ? pick(view.height() / lineHeight) * lineHeight + lineHeight / 2 : pick(view.height());
        return QPoint(pick(view.width()), std::min(y, view.height() - 1));
    };
    auto letters = [&](int n) {
        QString s;
        for (int i = 0; i < n; ++i)
            s += QChar(u"abcdefghij \tx\"\u00E4"[pick(15)]);
        return s;
    };
    Action a;
    const int r = pick(100);
    if (r < 30) {
        static const int keys[] = {Qt::Key_Left, Qt::Key_Right, Qt::Key_Up, Qt::Key_Down, Qt::Key_Home, Qt::Key_End,
                                   Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_Up, Qt::Key_Down, Qt::Key_PageUp,
                                   Qt::Key_PageDown};
        a.kind = Kind::Key;
        a.key = keys[pick(int(std::size(keys)))];
        if (pick(3) == 0)
            a.mods |= Qt::ShiftModifier;
        if (pick(8) == 0)
            a.mods |= Qt::ControlModifier;
    } else if (r < 42) {
        a.kind = Kind::Type;
        a.text = letters(1 + pick(pick(4) ? 4 : 14));
    } else if (r < 48) {
        a.kind = Kind::Key;
        static const int keys[] = {Qt::Key_Backspace, Qt::Key_Delete, Qt::Key_Return};
        a.key = keys[pick(3)];
    } else if (r < 53) {
        a.kind = Kind::Undo;
    } else if (r < 55) {
        a.kind = Kind::Redo;
    } else if (r < 58) {
        a.kind = Kind::Save;
    } else if (r < 66) {
        a.kind = Kind::Click;
        a.p = point();
        if (pick(4) == 0)
            a.mods = Qt::ShiftModifier;
    } else if (r < 70) {
        a.kind = Kind::DoubleClick;
        a.p = point();
    } else if (r < 73) {
        a.kind = Kind::TripleClick;
        a.p = point();
    } else if (r < 79) {
        a.kind = Kind::Drag;
        a.p = point();
        a.q = point();
        a.n = pick(3) == 0;
    } else if (r < 82) {
        a.kind = Kind::DragSelection;
        a.q = point();
    } else if (r < 85) {
        a.kind = Kind::Drop;
        a.p = point();
        a.text = pick(3) ? letters(1 + pick(5)) : QStringLiteral("neu\nZeile");
    } else if (r < 90) {
        a.kind = Kind::Scroll;
        a.n = pick(m.verticalScrollBar()->maximum() + 1);
        a.m = pick(std::max(1, m.horizontalScrollBar()->maximum() + 1));
    } else if (r < 97) {
        // mostly onto a line near or over the limit, at or near its end:
        // typing or deleting there crosses it
        a.kind = Kind::Caret;
        std::vector<int> near;
        for (int i = 0; i < m.LineCount(); ++i)
            if (std::abs(m.LineLength(i) - TLineLayout::kLongLine) <= 15 || m.LineLength(i) > TLineLayout::kLongLine)
                near.push_back(i);
        a.n = near.empty() || pick(4) == 0 ? pick(std::max(1, m.LineCount())) : near[size_t(pick(int(near.size())))];
        a.m = pick(3) ? m.LineLength(a.n) - pick(12) : pick(std::max(1, m.LineLength(a.n) + 1));
    } else {
        a.kind = Kind::Preedit;
        a.text = QStringLiteral("WWW").left(1 + pick(3));
        a.n = pick(int(a.text.size()) + 1);
        a.m = pick(2);
    }
    return a;
}

// Qt widens the horizontal range as it meets wider lines but narrows it
// only when the widest line it knows gets shorter, not when that line goes:
// the range (and the view within it) may then reach beyond the widest line
// there is. The editor knows the widths of its long lines; Qt's view is
// brought back to the same end before it is compared.
// The other way round, after an edit of several lines Qt may count only the
// lines it has laid out again, so its range stops short of a wider line
// further down and the view stops at that false end. Where laying out every
// line shows this, the editor's view may go on to where Qt meant to scroll:
// it is taken as Qt's if it lies beyond that false end and still shows the caret.
// Such a false end may also last only while Qt lays out again within one
// step (`lowest`: the lowest end Qt's range had during the step), and Qt's
// view is pushed back by it and may then scroll on from there: where that
// end lay short of the true end and of the editor's view, the editor's view
// is taken as Qt's when it shows the caret.
void sameRange(TColorMemo& own, TColorMemo& qt, int lowest = INT_MAX)
{
    QScrollBar* h = qt.horizontalScrollBar();
    const int end = std::max(int(layoutOf(own).ExactWidth()) - own.viewport()->width(), 0);
    if (h->value() > end)
        h->setValue(end);
    const int stoppedAt = h->value(), mine = own.horizontalScrollBar()->value();
    const QRect caret = own.cursorRect();
    const bool shown = caret.left() >= 0 && caret.right() <= own.viewport()->width();
    const bool pushedBack = lowest < end && lowest < mine;
    if (mine > end || (!pushedBack && (stoppedAt != h->maximum() || mine <= stoppedAt)))
        return;
    // (Qt's range may still end short of the editor's view.)
    for (QTextBlock b = qt.document()->begin(); b.isValid(); b = b.next())
        qt.document()->documentLayout()->blockBoundingRect(b);
    if ((pushedBack || h->maximum() > stoppedAt) && shown)
        h->setValue(mine);
}

// Runs the actions on a fresh pair of editors. Returns the first
// difference, or nothing; `at` receives the index of the action that
// showed it (the count for a difference in the undo steps at the end), and
// `log` both states after every step.
QString runSequence(const std::string& text, const std::vector<Action>& actions, int* at = nullptr,
                    QString* log = nullptr)
{
    ComparedEditor own(text, false), qt(text, true);
    for (ComparedEditor* e : {&own, &qt})
        if (!QTest::qWaitForWindowExposed(&e->memo))
            return QStringLiteral("window not shown");
    auto differ = [&](const QString& what) -> QString {
        const QString a = stateOf(own.memo), b = stateOf(qt.memo);
        if (log)
            *log += QStringLiteral("\n  %1:\n    %2\n    %3").arg(what, a, b);
        if (a == b)
            return {};
        return QStringLiteral("%1:\n  long-line editor: %2\n  Qt's layout:      %3%4")
            .arg(what, a, b, firstDifference(own.memo, qt.memo));
    };
    // The lowest end Qt's horizontal range takes while it is watched.
    struct LowestEnd {
        explicit LowestEnd(TColorMemo& m)
            : Lowest(m.horizontalScrollBar()->maximum())
        {
            Watch = QObject::connect(m.horizontalScrollBar(), &QScrollBar::rangeChanged,
                                     [this](int, int max) { Lowest = std::min(Lowest, max); });
        }
        ~LowestEnd() { QObject::disconnect(Watch); }
        int Lowest;
        QMetaObject::Connection Watch;
    };
    for (size_t i = 0; i < actions.size(); ++i) {
        if (at)
            *at = int(i);
        // Qt's control scrolls after every letter, and its view may go
        // beyond the widest line at any of them (see sameRange): it is
        // brought back after every letter of a typed text.
        std::vector<Action> parts;
        if (actions[i].kind == Kind::Type) {
            for (const QChar ch : actions[i].text) {
                parts.push_back(actions[i]);
                parts.back().text = ch;
            }
        } else {
            parts.push_back(actions[i]);
        }
        for (const Action& part : parts) {
            const LowestEnd qtEnd(qt.memo);
            QString extra[2];
            int k = 0;
            for (ComparedEditor* e : {&own, &qt}) {
                e->memo.activateWindow();
                e->memo.setFocus();
                extra[k++] = apply(e->memo, part);
            }
            if (extra[0] != extra[1])
                return QStringLiteral("after %1: %2 against %3").arg(describe(actions[i]), extra[0], extra[1]);
            sameRange(own.memo, qt.memo, qtEnd.Lowest);
        }
        const QString d = differ(QStringLiteral("after ") + describe(actions[i]));
        if (!d.isEmpty())
            return d;
    }
    if (at)
        *at = int(actions.size());
    // The same undo steps all the way back, and forward again.
    for (const bool back : {true, false}) {
        auto available = [back](TColorMemo& m) {
            return back ? m.document()->isUndoAvailable() : m.document()->isRedoAvailable();
        };
        for (int step = 0; step < 400; ++step) {
            if (!available(own.memo) && !available(qt.memo))
                break;
            const LowestEnd qtEnd(qt.memo);
            for (ComparedEditor* e : {&own, &qt})
                back ? e->memo.undo() : e->memo.redo();
            QCoreApplication::processEvents();
            sameRange(own.memo, qt.memo, qtEnd.Lowest);
            const QString d = differ(QStringLiteral("%1 step %2 at the end").arg(back ? "undo" : "redo").arg(step + 1));
            if (!d.isEmpty())
                return d;
        }
    }
    return {};
}

// The shortest part of the actions that still shows a difference: first
// everything after the failing action goes, then ever smaller chunks.
std::vector<Action> shrink(const std::string& text, std::vector<Action> actions, int failedAt)
{
    if (failedAt + 1 < int(actions.size()))
        actions.resize(size_t(failedAt + 1));
    for (size_t chunk = std::max<size_t>(1, actions.size() / 2);; chunk = std::max<size_t>(1, chunk / 2)) {
        bool removed = false;
        for (size_t from = 0; from < actions.size();) {
            std::vector<Action> fewer = actions;
            fewer.erase(fewer.begin() + long(from), fewer.begin() + long(std::min(actions.size(), from + chunk)));
            if (!fewer.empty() && !runSequence(text, fewer).isEmpty()) {
                actions = std::move(fewer);
                removed = true;
            } else {
                from += chunk;
            }
        }
        if (chunk == 1 && !removed)
            break;
    }
    return actions;
}

int envInt(const char* name, int fallback)
{
    bool ok = false;
    const int v = qEnvironmentVariableIntValue(name, &ok);
    return ok ? v : fallback;
}

} // namespace

class TestLongLines : public QObject {
    Q_OBJECT
private slots:
    void namedSequencesAsQt_data();
    void namedSequencesAsQt();
    void randomActionsAsQt();
    void dragBeyondTheEdgeScrollsAsQt_data();
    void dragBeyondTheEdgeScrollsAsQt();
};

namespace {

Action key(int k, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    Action a;
    a.key = k;
    a.mods = mods;
    return a;
}

Action make(Kind kind, const QString& text = QString(), int n = 0, int m = 0)
{
    Action a;
    a.kind = kind;
    a.text = text;
    a.n = n;
    a.m = m;
    return a;
}

Action click(Kind kind, QPoint p, QPoint q = QPoint())
{
    Action a;
    a.kind = kind;
    a.p = p;
    a.q = q;
    return a;
}

} // namespace

Q_DECLARE_METATYPE(std::vector<Action>)

void TestLongLines::namedSequencesAsQt_data()
{
    // Sequences where the editor once differed from Qt, on a text whose
    // third line is long (or 995 characters, just short of it).
    QTest::addColumn<int>("thirdLine");
    QTest::addColumn<std::vector<Action>>("actions");
    const int lh = 15; // about one line (the points only need to land on the third line)
    const Action toThird = make(Kind::Caret, {}, 2, 30);
    QTest::newRow("PgDn, PgDn, PgUp, PgUp keep the column")
        << 3000 << std::vector{toThird, key(Qt::Key_PageDown), key(Qt::Key_PageDown), key(Qt::Key_PageUp), key(Qt::Key_PageUp)};
    QTest::newRow("Shift+PgDn, Shift+PgUp select by the column")
        << 3000 << std::vector{toThird, key(Qt::Key_PageDown, Qt::ShiftModifier), key(Qt::Key_PageUp, Qt::ShiftModifier)};
    QTest::newRow("typing across the limit is one undo step")
        << 995 << std::vector{make(Kind::Caret, {}, 2, 995), make(Kind::Type, QStringLiteral("abcdefghij")), make(Kind::Undo)};
    QTest::newRow("Backspace back across the limit is one undo step")
        << 1005 << std::vector{make(Kind::Caret, {}, 2, 1005), key(Qt::Key_Backspace), key(Qt::Key_Backspace),
                               key(Qt::Key_Backspace), key(Qt::Key_Backspace), key(Qt::Key_Backspace),
                               key(Qt::Key_Backspace), key(Qt::Key_Backspace), key(Qt::Key_Backspace), make(Kind::Undo)};
    QTest::newRow("typing across 10,000 characters is one undo step")
        << 9995 << std::vector{make(Kind::Caret, {}, 2, 9995), make(Kind::Type, QStringLiteral("abcdefghij")), make(Kind::Undo)};
    QTest::newRow("Backspace back across 10,000 characters is one undo step")
        << 10004 << std::vector{make(Kind::Caret, {}, 2, 10004), key(Qt::Key_Backspace), key(Qt::Key_Backspace),
                                key(Qt::Key_Backspace), key(Qt::Key_Backspace), key(Qt::Key_Backspace),
                                key(Qt::Key_Backspace), key(Qt::Key_Backspace), make(Kind::Undo)};
    QTest::newRow("undo after saving stops at the save")
        << 3000 << std::vector{toThird, make(Kind::Type, QStringLiteral("abc")), make(Kind::Save),
                               make(Kind::Type, QStringLiteral("def")), make(Kind::Undo)};
    QTest::newRow("undo after saving stops at the save, on a line of 20,000 characters")
        << 20000 << std::vector{toThird, make(Kind::Type, QStringLiteral("abc")), make(Kind::Save),
                                make(Kind::Type, QStringLiteral("def")), make(Kind::Undo)};
    QTest::newRow("a run of letters and of Backspaces on a line of 20,000 characters")
        << 20000 << std::vector{toThird, make(Kind::Type, QStringLiteral("abc de")), key(Qt::Key_Backspace),
                                key(Qt::Key_Backspace), make(Kind::Type, QStringLiteral("x")), key(Qt::Key_Delete),
                                key(Qt::Key_Delete)};
    QTest::newRow("typing over a selection of lines, then a letter")
        << 3000 << std::vector{make(Kind::Caret, {}, 4, 10), key(Qt::Key_Up, Qt::ShiftModifier),
                               key(Qt::Key_Up, Qt::ShiftModifier), make(Kind::Type, QStringLiteral("x")),
                               make(Kind::Type, QStringLiteral("y")), make(Kind::Undo)};
    QTest::newRow("a selection deleted, then more Deletes")
        << 3000 << std::vector{toThird, key(Qt::Key_Right, Qt::ShiftModifier), key(Qt::Key_Right, Qt::ShiftModifier),
                               key(Qt::Key_Delete), key(Qt::Key_Delete), key(Qt::Key_Delete), make(Kind::Undo)};
    QTest::newRow("Shift+Up on a long first line, Shift+Down on a long last line")
        << 3000 << std::vector{make(Kind::Caret, {}, 0, 5), key(Qt::Key_Up, Qt::ShiftModifier),
                               key(Qt::Key_End, Qt::ControlModifier), key(Qt::Key_Down, Qt::ShiftModifier)};
    const QPoint onThird(120, 2 * lh + lh / 2 + 4);
    QTest::newRow("triple click selects the line with its break")
        << 3000 << std::vector{click(Kind::TripleClick, onThird)};
    QTest::newRow("a drag after a double click extends by words")
        << 3000 << std::vector{[&] {
               Action a = click(Kind::Drag, onThird, onThird + QPoint(140, 0));
               a.n = 1; // a double click first
               return a;
           }()};
    QTest::newRow("Shift+click after a double click extends by words")
        << 3000 << std::vector{click(Kind::DoubleClick, onThird), [&] {
               Action a = click(Kind::Click, onThird + QPoint(150, 0));
               a.mods = Qt::ShiftModifier;
               return a;
           }()};
    QTest::newRow("a press inside the selection drags it, a release there places the caret")
        << 3000 << std::vector{click(Kind::DoubleClick, onThird), click(Kind::DragSelection, {}, onThird + QPoint(200, 0)),
                               click(Kind::DoubleClick, onThird), click(Kind::Click, onThird)};
    QTest::newRow("a drop lands under the pointer")
        << 3000 << std::vector{[&] {
               Action a = click(Kind::Drop, onThird + QPoint(90, 0));
               a.text = QStringLiteral("neu");
               return a;
           }()};
    QTest::newRow("a drop beyond a line's end scrolls to the line's old end first")
        << 3000 << std::vector{make(Kind::Scroll, {}, 0, 20000), [&] {
               Action a = click(Kind::Drop, QPoint(200, lh / 2));
               a.text = QStringLiteral("abc");
               return a;
           }()};
    QTest::newRow("a drop with a tab inside a long line scrolls to the caret behind it")
        << 3000 << std::vector{make(Kind::Caret, {}, 2, 0), [&] {
               Action a = click(Kind::Drop, onThird + QPoint(350, 0));
               a.text = QStringLiteral("ab\tc");
               return a;
           }()};
    QTest::newRow("a drop whose caret ends between the line's old and new end scrolls from the line's left edge first")
        << 998 << std::vector{make(Kind::Scroll, {}, 0, 8559), [&] {
               Action a = click(Kind::Drop, QPoint(401, onThird.y()));
               a.text = QStringLiteral("dxjbc");
               return a;
           }()};
    QTest::newRow("the input method's caret stands at its own cursor")
        << 3000 << std::vector{toThird, make(Kind::Preedit, QStringLiteral("WWW"), 3, 1)};
    QTest::newRow("Up after a Backspace that makes a long line short goes by the caret's new x")
        << 1001 << std::vector{make(Kind::Caret, {}, 1, 10), key(Qt::Key_Down), key(Qt::Key_Backspace), key(Qt::Key_Up)};
    // Undo and redo bring the caret into view even where it keeps its
    // position: here the line before it changes under it (the undo steps
    // at the end of every sequence go through the menu).
    const Action scrollAway = make(Kind::Scroll, {}, 17, 20000);
    QTest::newRow("undo scrolls back to the long line of a caret that stays where it is")
        << 3000 << std::vector{make(Kind::Caret, {}, 2, 3000), key(Qt::Key_Backspace), key(Qt::Key_Right), scrollAway};
    QTest::newRow("redo through the menu scrolls back to the line it makes long under a caret that stays where it is")
        << 1000 << std::vector{make(Kind::Caret, {}, 2, 1000), make(Kind::Type, QStringLiteral("x")), make(Kind::Undo),
                               key(Qt::Key_Right), scrollAway, make(Kind::Redo, {}, 1)};
}

void TestLongLines::namedSequencesAsQt()
{
    QFETCH(int, thirdLine);
    QFETCH(std::vector<Action>, actions);
    std::string text;
    for (int i = 0; i < 80; ++i)
        text += (i == 2 ? std::string(size_t(thirdLine), 'w').replace(0, 34, "Ausgabe \"gr\xFC\xDF\" und noch mehr Worte")
                        : i == 0 || i == 79 ? std::string(1200, 'a') + " b c"
                                            : "Ausgabe \"Zeile\" " + std::to_string(i))
            + (i < 79 ? "\r\n" : "");
    // the third line has words every few characters, for double clicks
    for (size_t at = text.find("\r\n") + 2 + 40; at + 8 < text.find("\r\n", text.find("\r\n") + 2); at += 7)
        text[at] = ' ';
    QCOMPARE(ComparedEditor(text, false).memo.LineLength(2), thirdLine);
    QString log;
    const QString difference = runSequence(text, actions, nullptr, &log);
    QVERIFY2(difference.isEmpty(), qPrintable(difference + QStringLiteral("\nstep by step:") + log));
}

void TestLongLines::randomActionsAsQt()
{
    const int seed = envInt("TARKO_LONGLINE_SEED", 20261207);
    const int runs = envInt("TARKO_LONGLINE_RUNS", 12);
    const int length = envInt("TARKO_LONGLINE_ACTIONS", 40);
    const int only = envInt("TARKO_LONGLINE_RUN", -1); // one run of the seed, to look at it again
    for (int run = std::max(only, 0); run < (only >= 0 ? only + 1 : runs); ++run) {
        std::mt19937 rnd(unsigned(seed) * 7919u + unsigned(run));
        const std::string text = randomText(rnd);
        // The actions are drawn against an editor of their own, so that
        // points and lines follow the text as it changes.
        std::vector<Action> actions;
        {
            ComparedEditor probe(text, true);
            for (int i = 0; i < length; ++i) {
                actions.push_back(randomAction(rnd, probe.memo));
                apply(probe.memo, actions.back());
            }
        }
        int at = 0;
        const QString difference = runSequence(text, actions, &at);
        if (difference.isEmpty())
            continue;
        const std::vector<Action> minimal = shrink(text, actions, at);
        QString steps;
        for (const Action& a : minimal)
            steps += QStringLiteral("\n  ") + describe(a);
        QString log;
        const QString last = runSequence(text, minimal, nullptr, &log);
        const QString message = QStringLiteral("seed %1 run %2, text of %3 lines; shortest sequence:%4\n%5\n"
                                               "long-line editor and Qt's layout step by step:%6")
                                    .arg(seed).arg(run).arg(QString::fromStdString(text).count(u'\n') + 1)
                                    .arg(steps, last, log);
        QFAIL(qPrintable(message));
    }
}

void TestLongLines::dragBeyondTheEdgeScrollsAsQt_data()
{
    QTest::addColumn<int>("dx");
    QTest::addColumn<int>("dy");
    QTest::newRow("just beyond the right edge") << 3 << 0;
    QTest::newRow("far beyond the right edge") << 60 << 0;
    QTest::newRow("below and to the right") << 25 << 40;
    QTest::newRow("beyond the left edge") << -30 << 0;
}

void TestLongLines::dragBeyondTheEdgeScrollsAsQt()
{
    // While a drag holds the pointer beyond the view's edge, the view
    // scrolls and the selection follows, sooner the farther out the pointer
    // is. The scrolling's timer is driven tick by tick here: every tick
    // must come after the same time and do the same on both editors.
    QFETCH(int, dx);
    QFETCH(int, dy);
    std::string text;
    for (int i = 0; i < 30; ++i)
        text += (i % 3 ? "Ausgabe \"kurz\"\r\n" : "Ausgabe \"" + std::string(3000, 'x') + "\" lang\r\n");
    ComparedEditor own(text, false), qt(text, true);
    QString states[2];
    int k = 0;
    for (ComparedEditor* e : {&own, &qt}) {
        TColorMemo& m = e->memo;
        QVERIFY(QTest::qWaitForWindowExposed(&m));
        if (dx < 0)
            m.horizontalScrollBar()->setValue(2000);
        QCoreApplication::processEvents();
        QWidget* vp = m.viewport();
        auto* dispatcher = QAbstractEventDispatcher::instance();
        const QList<QAbstractEventDispatcher::TimerInfo> before = dispatcher->registeredTimers(&m);
        const QPoint from(200, int(layoutOf(m).LineHeight() * 3.5)); // on the fourth line, a long one
        const QPoint out(dx < 0 ? dx : vp->width() + dx, from.y() + dy);
        QTest::mousePress(vp, Qt::LeftButton, Qt::NoModifier, from);
        QCursor::setPos(vp->mapToGlobal(out));
        QMouseEvent move(QEvent::MouseMove, QPointF(out), vp->mapToGlobal(QPointF(out)), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(vp, &move);
        QString ticks;
        for (int tick = 0; tick < 25; ++tick) {
            // the scrolling's timer: the one started since the press
            int id = -1, interval = -1;
            for (const auto& t : dispatcher->registeredTimers(&m)) {
                bool old = false;
                for (const auto& b : before)
                    old = old || b.timerId == t.timerId;
                if (!old && (id < 0 || t.interval < interval)) {
                    id = t.timerId;
                    interval = t.interval;
                }
            }
            QVERIFY2(id >= 0, "no scrolling beyond the edge");
            ticks += QString::number(interval) + ' ';
            QTimerEvent timer(id);
            QApplication::sendEvent(&m, &timer);
        }
        QTest::mouseRelease(vp, Qt::LeftButton, Qt::NoModifier, out);
        QCoreApplication::processEvents();
        const QTextCursor c = m.textCursor();
        states[k++] = QStringLiteral("timer intervals %1; selection %2 to %3, scroll %4/%5")
                          .arg(ticks).arg(c.anchor()).arg(c.position())
                          .arg(m.verticalScrollBar()->value()).arg(m.horizontalScrollBar()->value());
    }
    QCOMPARE(states[0], states[1]);
}

QTEST_MAIN(TestLongLines)
#include "tst_longlines.moc"
