// The overlay picks its searches up at resume points near the last change
// instead of at the line's start; the runs must be those of a fresh build.
#include "RulesTestKit.h"

#include <QtTest>

namespace {

// The colour, level and key of every cell of the windows after Build.
std::vector<CellLook> windowCells(const TColorOverlay& o, const std::vector<TScanWindow>& ws)
{
    std::vector<CellLook> cells;
    for (const TScanWindow& w : ws) {
        const size_t first = cells.size();
        cells.resize(first + size_t(w.To - w.From + 1));
        for (int k = 0; k < o.RunCount(); ++k) {
            const TKeyDescr& r = o.Runs()[k];
            for (int p = std::max(r.StartPos, w.From); p <= std::min(r.EndPos, w.To); ++p)
                cells[first + size_t(p - w.From)] = {true, r.SpanColor, r.Level, r.IsKey};
        }
    }
    return cells;
}

} // namespace

class TestOverlayResume : public QObject {
    Q_OBJECT
private slots:
    void resumedBuildsMatchFreshBuilds_data();
    void resumedBuildsMatchFreshBuilds();
    void resumeFollowsTheChange_data();
    void resumeFollowsTheChange();
    void resumePointsAtKeyEdges_data();
    void resumePointsAtKeyEdges();
    void noPointInsideASpanNearTheScanEnd();
    void settingsChangedBetweenBuilds_data();
    void settingsChangedBetweenBuilds();
};

// One overlay through a long editing session, told honestly where each
// change begins: after every Build its spans and the runs in the windows
// equal those of a fresh overlay building the same input.
void TestOverlayResume::resumedBuildsMatchFreshBuilds_data()
{
    QTest::addColumn<int>("set");
    QTest::addColumn<bool>("keyCase");
    QTest::addColumn<bool>("hotSpots");
    QTest::addColumn<QByteArrayList>("fragments");
    QTest::addColumn<QByteArrayList>("rare"); // about one piece in 1500
    QTest::addColumn<int>("step");            // between resume points
    const QByteArrayList program{"Ausgabe", "aus", "Solange", "Ende", "rot", "\"", "\"", "\"abc\" 1 ", "/", "//",
                                 " ", " ", "\t", "\r\n", "\r", "\n", "x", "1", "\x1E", "\x1F", "\x1E" "Hilfe\x1F"};
    const QByteArrayList keys{"a", "b", "A", "B", "ab", "ba", "aa", " ", "\"", "(*", "*)", "*", "**", "(", ")", "/",
                              "b/", "{{{", "}}}", "}", "{", "<<<", "<<<<<<", ">>>>>>", ">>>", ">", "\t", "\r\n",
                              "\r", "\n", "x", "1", "\xE4", "\x1E", "\x1F"};
    const int workbench = int(RuleSet::Workbench), pairs = int(RuleSet::PairsAndLineEnds),
              longKeys = int(RuleSet::LongKeys);
    QTest::newRow("workbench rules with hot spots") << workbench << false << true << program << QByteArrayList{"\x1E"} << 4096;
    QTest::newRow("workbench rules, a string left open") << workbench << false << false << program << QByteArrayList{"\""} << 64;
    QTest::newRow("pairs and line ends over keywords") << pairs << false << true << keys << QByteArrayList{"\x1F"} << 16;
    QTest::newRow("long keys, case folded") << longKeys << false << true << keys << QByteArrayList{"[["} << 4096;
    QTest::newRow("long keys, case kept") << longKeys << true << false << keys << QByteArrayList{"[[", "]]]]]]"} << 16;
    QTest::newRow("long keys, a point every few characters") << longKeys << false << false << keys << QByteArrayList{"[["} << 3;
}

void TestOverlayResume::resumedBuildsMatchFreshBuilds()
{
    QFETCH(int, set);
    QFETCH(bool, keyCase);
    QFETCH(bool, hotSpots);
    QFETCH(QByteArrayList, fragments);
    QFETCH(QByteArrayList, rare);
    QFETCH(int, step);
    const TDrawRules rules = ruleSet(RuleSet(set), keyCase, false);
    const auto prepare = [&](TColorOverlay& o) {
        o.Rules = rules;
        o.HotSpot.Active = hotSpots;
        o.Host.OnDraw = markOnes;
        o.Host.ColorLimBuf.resize(64);
    };
    TColorOverlay session;
    prepare(session);
    session.ResumeStep = step;
    std::mt19937 rnd(7020u + unsigned(set) * 2 + unsigned(keyCase) + unsigned(rare.size()) * 16);
    const auto chance = [&](int percent) { return int(rnd() % 100) < percent; };
    const auto below = [&](size_t n) { return n == 0 ? 0 : int(rnd() % n); };
    const auto pieces = [&](int n) {
        std::string out;
        for (int i = 0; i < n; ++i)
            out += (rnd() % 1500 == 0 ? rare[below(size_t(rare.size()))] : fragments[below(size_t(fragments.size()))]).toStdString();
        return out;
    };
    std::string text = pieces(12000);
    const int scanStarts[2] = {0, 3000 + below(3000)};
    std::vector<TScanWindow> last; // windows of the previous Build
    long long skipped = 0;
    int resumed = 0;
    int unchangedBefore = 0;
    int changedTo = INT_MAX, delta = 0; // where the changes end, and how far they moved what follows
    int caret = 0; // where the last edit happened
    for (int round = 0; round < 1200; ++round) {
        // the editor alternates between the visible area and the caret's line
        const int scanStart = std::min(scanStarts[round % 2], int(text.size()));
        const int textEnd = int(text.size());
        const int scanEnd = chance(70) ? textEnd : scanStart + below(size_t(textEnd - scanStart + 1));
        TOverlayInput in;
        in.Text = std::string_view(text).substr(size_t(scanStart), size_t(scanEnd - scanStart));
        in.ScanStart = scanStart;
        in.UnchangedBefore = unchangedBefore;
        if (chance(70)) { // mostly told, as the editor does
            in.ChangedTo = changedTo;
            in.Delta = delta;
        }
        in.WantTabs = chance(50);
        std::vector<TScanWindow> ws;
        if (scanEnd > scanStart && !chance(10)) {
            // mostly around the caret, as the editor paints
            int from = chance(10)   ? scanStart
                       : chance(50) ? std::clamp(caret - 300 + below(600), scanStart, scanEnd - 1)
                                    : scanStart + below(size_t(scanEnd - scanStart));
            // often on the last character of an end key, where a span
            // found before a resume point reaches past it
            const size_t endKey = text.find_first_of(")>}*]", size_t(from));
            if (chance(30) && endKey < size_t(scanEnd))
                from = int(endKey);
            ws = randomWindows(rnd, from, std::min(from + 400, scanEnd - 1));
        }
        in.Windows = ws;
        session.Build(in);
        skipped += session.SkippedLastBuild();
        resumed += session.SkippedLastBuild() > 0;
        const std::vector<TKeyDescr> spans(session.Spans.Items.begin(), session.Spans.Items.begin() + session.RunCount());
        TColorOverlay fresh;
        prepare(fresh);
        fresh.Build(in);
        const QByteArray failure = QStringLiteral("round %1, scan %2-%3, unchanged before %4, changed to %6 by %7, windows %5")
                                       .arg(round).arg(scanStart).arg(scanEnd).arg(unchangedBefore).arg(windowText(ws))
                                       .arg(in.ChangedTo).arg(in.Delta)
                                       .toLocal8Bit();
        QVERIFY2(session.RunCount() == fresh.RunCount(), failure.constData());
        QVERIFY2(windowCells(session, ws) == windowCells(fresh, ws), failure.constData());
        last = ws;

        // one to three edits before the next Build; the first position
        // changed is what the editor passes on
        unchangedBefore = INT_MAX;
        changedTo = INT_MAX;
        delta = 0;
        for (int edits = 1 + below(3); edits > 0; --edits) {
            const int n = int(text.size());
            int at;
            switch (below(6)) {
            case 0: at = last.empty() ? below(size_t(n + 1)) : std::max(last.front().From - below(200), 0); break;
            case 1: at = last.empty() ? n : below(size_t(last.back().To - last.front().From + 1)) + last.front().From; break;
            case 2: at = scanStarts[below(2)]; break;
            case 3: at = n; break;
            default: at = below(size_t(n + 1));
            }
            at = std::clamp(at, 0, n);
            // the text stays long enough for resume points
            const int erase = n > 20000 && (chance(50) || n > 40000) ? std::min(below(20), n - at) : 0;
            const std::string inserted = chance(60) || erase == 0 ? pieces(1 + below(4)) : std::string();
            text.replace(size_t(at), size_t(erase), inserted);
            const int added = int(inserted.size());
            // the changed part grows to hold this edit; what follows it moves
            if (changedTo == INT_MAX)
                changedTo = at + added;
            else
                changedTo = std::max(changedTo >= at + erase ? changedTo + added - erase : std::min(changedTo, at), at + added);
            delta += added - erase;
            unchangedBefore = std::min(unchangedBefore, at);
            caret = at;
        }
        if (chance(5)) {
            unchangedBefore = 0; // nothing known
            changedTo = INT_MAX;
        }
    }
    // the session must actually have taken searches up part-way
    QVERIFY2(resumed > 80 && skipped > 1000000, qPrintable(QStringLiteral("%1 Builds resumed, %2 bytes skipped").arg(resumed).arg(skipped)));
}

// What the searches skip after one letter typed before a window of a long
// line follows the change, not the scan start: with the change at c they
// read again from within a few KB of c.
void TestOverlayResume::resumeFollowsTheChange_data()
{
    QTest::addColumn<int>("windowAt");  // in KB from the line's start
    QTest::addColumn<int>("changeAt");  // in KB; -1: no change
    QTest::addColumn<int>("unchanged"); // UnchangedBefore passed, in KB; -1: the change
    QTest::addColumn<bool>("windows");
    QTest::addColumn<int>("minSkippedKB"); // per search
    QTest::addColumn<int>("maxSkippedKB");
    QTest::newRow("letter before a window in the middle") << 100 << 99 << -1 << true << 90 << 99;
    QTest::newRow("letter before a window at the end") << 195 << 194 << -1 << true << 185 << 194;
    QTest::newRow("nothing changed") << 100 << -1 << 200 << true << 90 << 100;
    QTest::newRow("letter far before the window") << 150 << 20 << -1 << true << 10 << 20;
    QTest::newRow("nothing known") << 100 << 99 << 0 << true << 0 << 0;
    QTest::newRow("without windows") << 100 << 99 << -1 << false << 0 << 0;
}

void TestOverlayResume::resumeFollowsTheChange()
{
    QFETCH(int, windowAt);
    QFETCH(int, changeAt);
    QFETCH(int, unchanged);
    QFETCH(bool, windows);
    QFETCH(int, minSkippedKB);
    QFETCH(int, maxSkippedKB);
    std::string text;
    while (text.size() < 200 * 1024)
        text += "Ausgabe \"abc\" 1 ";
    TColorOverlay o;
    o.Rules = WorkbenchColorRules();
    o.HotSpot.Active = true; // three searches: hot spots, comments, strings
    const std::vector<TScanWindow> ws{{windowAt * 1024, windowAt * 1024 + 199}};
    TOverlayInput in;
    in.Text = text;
    in.Windows = ws;
    o.Build(in);
    QCOMPARE(o.SkippedLastBuild(), 0LL);
    if (changeAt >= 0)
        text.insert(size_t(changeAt) * 1024, "x");
    in.Text = text;
    in.UnchangedBefore = unchanged >= 0 ? unchanged * 1024 : changeAt * 1024;
    if (!windows)
        in.Windows = {};
    o.Build(in);
    const long long skipped = o.SkippedLastBuild();
    QVERIFY2(skipped >= 3LL * minSkippedKB * 1024 && skipped <= 3LL * maxSkippedKB * 1024, qPrintable(QString::number(skipped)));
}

// Resume points next to keys of several characters: a span found before
// a point that reaches past it, and a point that a change a few characters
// after it makes wrong. Step 1: a point wherever one can be.
void TestOverlayResume::resumePointsAtKeyEdges_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("editAt"); // one character replaced; -1: none
    QTest::addColumn<char>("by");
    QTest::addColumn<QList<int>>("window");
    QTest::addColumn<QString>("runs");
    const QByteArray x(40, 'x');
    // the comment 0-4 ends on the character where the next step begins
    QTest::newRow("span reaching a point") << "(*a*)" + x << -1 << ' ' << QList<int>{4, 4} << "4-4:2";
    QTest::newRow("span reaching a point, window past it") << "(*a*)" + x << -1 << ' ' << QList<int>{4, 9} << "4-4:2";
    // "<<<<<<" begins at 20 only once the x at 25 becomes '<'
    const QByteArray open = QByteArray(20, 'x') + "<<<<<x" + QByteArray(20, 'y') + ">>>>>>" + QByteArray(10, 'z');
    QTest::newRow("begin key completed after the point") << open << 25 << '<' << QList<int>{24, 24} << "24-24:2";
    QTest::newRow("begin key broken after the point") << QByteArray(open).replace(25, 1, "<") << 25 << 'x'
                                                      << QList<int>{24, 24} << "";
}

void TestOverlayResume::resumePointsAtKeyEdges()
{
    QFETCH(QByteArray, text);
    QFETCH(int, editAt);
    QFETCH(char, by);
    QFETCH(QList<int>, window);
    QFETCH(QString, runs);
    TColorOverlay o;
    TColorRule& pairs = o.Rules.Add();
    pairs.KeyDrawingType = dtBeginEnd;
    pairs.ZOrder = 2;
    pairs.SetKeyBegEndLst({"(*;*);red", "<<<<<<;>>>>>>;teal"});
    o.ResumeStep = 1;
    std::string t = text.toStdString();
    const std::vector<TScanWindow> all{{0, int(t.size()) - 1}}, ws{{window[0], window[1]}};
    TOverlayInput in;
    in.Text = t;
    in.Windows = all;
    o.Build(in);
    if (editAt >= 0)
        t[size_t(editAt)] = by;
    in.Text = t;
    in.UnchangedBefore = editAt >= 0 ? editAt : int(t.size());
    in.Windows = ws;
    o.Build(in);
    QVERIFY(o.SkippedLastBuild() > 0);
    QCOMPARE(::runs(o), runs);
}

// A step starting too near the scan's end to leave its own point must not
// leave the points it skipped over: they lie inside the string before it,
// and a search taken up there would pair the quotes the other way round.
void TestOverlayResume::noPointInsideASpanNearTheScanEnd()
{
    TColorOverlay o;
    TColorRule& strings = o.Rules.Add();
    strings.KeyDrawingType = dtBeginEnd;
    strings.ZOrder = 1;
    strings.SetKeyBegEndLst({"\";\";red"});
    o.ResumeStep = 8;
    // a string up to 44, then a quote that opens one never closed
    const std::string t = "ab \"" + std::string(40, 'c') + "\" \"";
    const std::vector<TScanWindow> all{{0, int(t.size()) - 1}}, inside{{40, 46}};
    TOverlayInput in;
    in.Text = t;
    in.Windows = all;
    o.Build(in);
    in.UnchangedBefore = int(t.size()); // nothing changed
    in.Windows = inside;
    o.Build(in);
    QCOMPARE(::runs(o), QStringLiteral("40-44:1"));
}

// Rules or hot spots changed between two Builds over the same text (the
// caller passes the whole text as unchanged): the second Build colours as
// a fresh overlay does.
void TestOverlayResume::settingsChangedBetweenBuilds_data()
{
    QTest::addColumn<int>("change");
    QTest::newRow("pair keys") << 0;
    QTest::newRow("pair colour") << 1;
    QTest::newRow("rule level") << 2;
    QTest::newRow("rule kind") << 3;
    QTest::newRow("hot-spot markers") << 4;
    QTest::newRow("rule added before") << 6;
}

void TestOverlayResume::settingsChangedBetweenBuilds()
{
    QFETCH(int, change);
    std::string text;
    for (int i = 0; text.size() < 3000; ++i)
        text += i % 7 == 0 ? "\x1E" "Hilfe\x1F (*a*) " : i % 5 == 0 ? "'b' // c\r\n" : "Ausgabe \"abc\" 1 ";
    TColorOverlay o;
    o.Rules = WorkbenchColorRules();
    o.Rules.Add().KeyDrawingType = dtBeginEnd;
    o.Rules[o.Rules.Count() - 1].SetKeyBegEndLst({"(*;*);red"});
    o.HotSpot.Active = true;
    o.ResumeStep = 16;
    const std::vector<TScanWindow> all{{0, int(text.size()) - 1}};
    TOverlayInput in;
    in.Text = text;
    in.Windows = all;
    o.Build(in);
    o.Build(in); // both halves of the alternating preparation have run
    TColorRule& strings = o.Rules[2];
    switch (change) {
    case 0: strings.SetKeyBegEndLst({"1;\""}); break;
    case 1: o.Rules[3].DefKeyColor = clLime; o.Rules[3].SetKeyBegEndLst({"(*;*)"}); break;
    case 2: o.Rules[3].ZOrder = 7; break;
    case 3: o.Rules[3].KeyDrawingType = dtBeginLineEnd; o.Rules[3].SetKeyLineEndLst({"(*"}); break;
    case 4: o.HotSpot.BeginChar = '\''; o.HotSpot.EndChar = '\''; break;
    case 6: {
        TDrawRules rules;
        TColorRule& pairs = rules.Add();
        pairs.KeyDrawingType = dtBeginEnd;
        pairs.SetKeyBegEndLst({"(*;*);navy"});
        for (int i = 0; i < o.Rules.Count(); ++i)
            rules.Add().Assign(o.Rules[i]);
        o.Rules = rules;
        break;
    }
    }
    TColorOverlay fresh;
    fresh.Rules = o.Rules;
    fresh.HotSpot = o.HotSpot;
    in.UnchangedBefore = int(text.size());
    for (int from = 500; from < 2900; from += 7) { // windows all over the points
        const std::vector<TScanWindow> ws{{from, from + 20}};
        in.Windows = ws;
        o.Build(in);
        fresh.Build(in);
        QVERIFY2(windowCells(o, ws) == windowCells(fresh, ws), qPrintable(QString::number(from)));
    }
}

QTEST_APPLESS_MAIN(TestOverlayResume)
#include "tst_overlay_resume.moc"
