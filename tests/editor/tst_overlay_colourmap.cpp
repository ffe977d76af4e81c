// The overlay's colour map: levels, hot spots, and colouring only inside
// scan windows (compared with colouring the whole text), up to a line of a
// megabyte.
#include "RulesTestKit.h"

#include <QtTest>

namespace {

// The run over a position after Build, or nothing.
CellLook lookAt(const TColorOverlay& o, int pos)
{
    for (int k = 0; k < o.RunCount(); ++k) {
        const TKeyDescr& r = o.Runs()[k];
        if (pos >= r.StartPos && pos <= r.EndPos)
            return {true, r.SpanColor, r.Level, r.IsKey};
    }
    return {};
}

} // namespace

class TestOverlayColourMap : public QObject {
    Q_OBJECT
private slots:
    void colourMapLevels_data();
    void colourMapLevels();
    void hotSpotSpans_data();
    void hotSpotSpans();
    void hotSpotHoverAndClick_data();
    void hotSpotHoverAndClick();
    void windowsColourAsWholeScan_data();
    void windowsColourAsWholeScan();
    void windowedRuns_data();
    void windowedRuns();
    void windowsOnMegabyteLine_data();
    void windowsOnMegabyteLine();
};

void TestOverlayColourMap::colourMapLevels_data()
{
    QTest::addColumn<bool>("wantTabs");
    QTest::addColumn<int>("selStart");
    QTest::addColumn<int>("selLength");
    QTest::addColumn<bool>("redrawAlways");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("runs");
    // Workbench rules: comment 2 over string 1 over keyword 0.
    QTest::newRow("keyword in string takes string") << false << 0 << 0 << false << QByteArray("\"rot\"") << "0-4:1";
    QTest::newRow("slash in string turns comment") << false << 0 << 0 << false
                                                   << QByteArray("Ausgabe \"Hallo / Welt\"") << "0-6:0 8-14:1 15-21:2";
    QTest::newRow("keyword inside comment") << false << 0 << 0 << false << QByteArray("Falls x / rot") << "0-4:0 8-12:2";
    // masks split runs and are never drawn, but stay in the run list
    QTest::newRow("tab splits keyword run") << true << 0 << 0 << false << QByteArray("\"a\tb\"") << "0-1:1 2-2:255 3-4:1";
    QTest::newRow("tab ignored without WantTabs") << false << 0 << 0 << false << QByteArray("\"a\tb\"") << "0-4:1";
    QTest::newRow("selection masks") << false << 2 << 2 << false << QByteArray("\"abcd\"") << "0-1:1 2-3:254 4-5:1";
    QTest::newRow("selection outside text clipped") << false << 50 << 10 << false << QByteArray("rot") << "0-2:0";
    // the caret span (level 0) loses to rules of level 0 that come later
    QTest::newRow("caret span under keyword") << false << 6 << 0 << true << QByteArray("ab rot") << "0-2:0 3-5:0";
}

void TestOverlayColourMap::colourMapLevels()
{
    QFETCH(bool, wantTabs);
    QFETCH(int, selStart);
    QFETCH(int, selLength);
    QFETCH(bool, redrawAlways);
    QFETCH(QByteArray, text);
    QFETCH(QString, runs);
    TColorOverlay o;
    o.Rules = WorkbenchColorRules();
    const std::string t = text.toStdString();
    TOverlayInput in;
    in.Text = t;
    in.WantTabs = wantTabs;
    in.SelStart = selStart;
    in.SelLength = selLength;
    in.RedrawAlways = redrawAlways;
    in.CaretColumn = selStart;
    in.FontColor = clBlack;
    o.Build(in);
    QCOMPARE(::runs(o), runs);
    if (redrawAlways) // the caret part keeps the font colour, the keyword is red
        QCOMPARE(o.Runs()[0].SpanColor, clBlack);
}

void TestOverlayColourMap::hotSpotSpans_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<char>("begin");
    QTest::addColumn<char>("end");
    QTest::addColumn<QString>("runs");
    QTest::newRow("one hot spot") << QByteArray("a \x1EHilfe\x1F b") << char(30) << char(31) << "2-2:253 3-7:252 8-8:253";
    QTest::newRow("adjacent markers") << QByteArray("\x1E\x1F") << char(30) << char(31) << "0-1:253";
    QTest::newRow("open marker alone is plain") << QByteArray("a \x1Ex") << char(30) << char(31) << "";
    QTest::newRow("unclosed stops later ones") << QByteArray("\x1E" "a\x1F \x1E" "b") << char(30) << char(31)
                                               << "0-0:253 1-1:252 2-2:253";
    QTest::newRow("markers on two lines") << QByteArray("\x1E" "a\r\nb\x1F") << char(30) << char(31)
                                          << "0-0:253 1-4:252 5-5:253";
    QTest::newRow("begin char zero switches off") << QByteArray("\x1E" "a\x1F") << char(0) << char(31) << "";
}

void TestOverlayColourMap::hotSpotSpans()
{
    QFETCH(QByteArray, text);
    QFETCH(char, begin);
    QFETCH(char, end);
    QFETCH(QString, runs);
    TColorOverlay o;
    o.HotSpot.Active = true;
    o.HotSpot.BeginChar = begin;
    o.HotSpot.EndChar = end;
    const std::string t = text.toStdString();
    TOverlayInput in;
    in.Text = t;
    o.Build(in);
    QCOMPARE(::runs(o), runs);

    o.HotSpot.Active = false; // inactive: marker characters are ordinary
    o.Build(in);
    QCOMPARE(o.RunCount(), 0);
}

void TestOverlayColourMap::hotSpotHoverAndClick_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("sameMarker");
    QTest::addColumn<bool>("over");
    QTest::addColumn<QByteArray>("text");
    const QByteArray one("Siehe \x1EHilfe\x1F jetzt"); // markers at 6 and 12
    QTest::newRow("over first letter") << one << 7 << false << true << QByteArray("Hilfe");
    QTest::newRow("over middle letter") << one << 9 << false << true << QByteArray("Hilfe");
    QTest::newRow("over closing marker") << one << 12 << false << true << QByteArray("Hilfe");
    QTest::newRow("over opening marker no") << one << 6 << false << false << QByteArray();
    QTest::newRow("left of hot spot no") << one << 2 << false << false << QByteArray();
    QTest::newRow("right of hot spot no") << one << 14 << false << false << QByteArray();
    const QByteArray two("\x1E" "eins\x1F und \x1Ezwei\x1F"); // second spans 11..16
    QTest::newRow("second of two") << two << 13 << false << true << QByteArray("zwei");
    QTest::newRow("first of two") << two << 2 << false << true << QByteArray("eins");
    // only the text right of the pointer counts: a closing marker ahead is enough
    QTest::newRow("closing marker without opening") << QByteArray("abc\x1F") << 1 << false << true << QByteArray("abc");
    QTest::newRow("same marker both ends") << QByteArray("a|bc|d") << 3 << true << true << QByteArray("bc");
    QTest::newRow("same marker text before first") << QByteArray("ab|c") << 0 << true << true << QByteArray("ab");
}

void TestOverlayColourMap::hotSpotHoverAndClick()
{
    QFETCH(QByteArray, line);
    QFETCH(int, column);
    QFETCH(bool, sameMarker);
    QFETCH(bool, over);
    QFETCH(QByteArray, text);
    THotSpot hs;
    hs.Active = true;
    if (sameMarker)
        hs.BeginChar = hs.EndChar = '|';
    std::string got;
    QCOMPARE(HotSpotAt(line.toStdString(), column, hs, &got), over);
    if (over)
        QCOMPARE(QByteArray::fromStdString(got), text);
    hs.Active = false;
    QVERIFY(!HotSpotAt(line.toStdString(), column, hs, &got));
}

// Random texts built from fragments that provoke the edge cases; for each,
// random windows: inside them the windowed colours equal the whole scan's.
void TestOverlayColourMap::windowsColourAsWholeScan_data()
{
    QTest::addColumn<int>("set");
    QTest::addColumn<bool>("keyCase");
    QTest::addColumn<bool>("partWord");
    QTest::addColumn<bool>("hotSpots");
    QTest::addColumn<QByteArrayList>("fragments");
    const QByteArrayList program{"Ausgabe", "aus", "gabe", "Solange", "SolangeEnde", "Ende", "ROT", "rot", "und",
                                 "L\xF6schen", "wei\xDF", "gr\xFCn", "\"", "\"", "/", " ", " ", "\t", "\r\n",
                                 "x", "1", "_", "@", "\xF6", "e"};
    QByteArrayList withHotSpots = program;
    withHotSpots << "\x1E" << "\x1F" << "\x1E" "Hilfe\x1F";
    // a run of keyword letters longer than the stretch around a window
    const QByteArray longRun(50, 'a');
    const QByteArrayList letters{"a", "a", "b", "A", "B", "ab", "aa", "aaaaaaaaaaaaaaaa", longRun, " ", "\"", "(*",
                                 "*)", "/", "b/", "\t", "\r\n", "x", "1", "\xE4"};
    const int workbench = int(RuleSet::Workbench), overlapping = int(RuleSet::Overlapping),
              pairs = int(RuleSet::PairsAndLineEnds);
    QTest::newRow("workbench rules") << workbench << false << false << false << program;
    QTest::newRow("workbench rules with hot spots") << workbench << false << false << true << withHotSpots;
    QTest::newRow("overlapping keywords whole words folded") << overlapping << false << false << false << letters;
    QTest::newRow("overlapping keywords part words folded") << overlapping << false << true << false << letters;
    QTest::newRow("overlapping keywords whole words case kept") << overlapping << true << false << false << letters;
    QTest::newRow("overlapping keywords part words case kept") << overlapping << true << true << false << letters;
    // the last two also hold a rule whose spans come from the host
    QTest::newRow("pairs and line ends over keywords") << pairs << false << true << true << (letters + QByteArrayList{"\x1E", "\x1F"});
    QTest::newRow("pairs and line ends case kept") << pairs << true << false << false << letters;
}

void TestOverlayColourMap::windowsColourAsWholeScan()
{
    QFETCH(int, set);
    QFETCH(bool, keyCase);
    QFETCH(bool, partWord);
    QFETCH(bool, hotSpots);
    QFETCH(QByteArrayList, fragments);
    TColorOverlay whole, windowed;
    whole.Rules = windowed.Rules = ruleSet(RuleSet(set), keyCase, partWord);
    whole.HotSpot.Active = windowed.HotSpot.Active = hotSpots;
    for (TColorOverlay* o : {&whole, &windowed}) {
        o->Host.OnDraw = markOnes;
        o->Host.ColorLimBuf.resize(64);
    }
    std::mt19937 rnd(20261207u + unsigned(set) * 4 + unsigned(keyCase) * 2 + unsigned(partWord));
    for (int round = 0; round < 600; ++round) {
        std::string text;
        const int pieces = int(rnd() % 80);
        for (int i = 0; i < pieces; ++i)
            text += fragments[int(rnd() % unsigned(fragments.size()))].toStdString();
        TOverlayInput in;
        in.Text = text;
        in.ScanStart = round % 3 == 0 ? 0 : int(rnd() % 1000);
        in.WantTabs = rnd() % 4 != 0;
        in.RedrawAlways = rnd() % 3 == 0;
        in.SelStart = in.ScanStart + int(rnd() % (text.size() + 2));
        in.SelLength = rnd() % 2 ? 0 : int(rnd() % 30);
        in.CaretColumn = int(rnd() % 20);
        whole.Build(in);
        const std::vector<TScanWindow> ws = randomWindows(rnd, in.ScanStart, in.ScanStart + int(text.size()) - 1);
        in.Windows = ws;
        windowed.Build(in);
        const auto failure = [&](const QString& what) {
            return QStringLiteral("%1; round %2, scan start %3, windows %4, text \"%5\"")
                .arg(what).arg(round).arg(in.ScanStart).arg(windowText(ws))
                .arg(QString::fromLatin1(QByteArray::fromStdString(text).toPercentEncoding(" \"()*/@_")))
                .toLocal8Bit();
        };
        for (const TScanWindow& w : ws)
            for (int p = w.From; p <= w.To; ++p)
                QVERIFY2(lookAt(windowed, p) == lookAt(whole, p), failure(QStringLiteral("differs at %1").arg(p)).constData());
        for (int k = 0; k < windowed.RunCount() && !ws.empty(); ++k) {
            const TKeyDescr& r = windowed.Runs()[k];
            QVERIFY2(MeetsWindows(ws, r.StartPos, r.EndPos) && std::any_of(ws.begin(), ws.end(), [&](const TScanWindow& w) {
                         return r.StartPos >= w.From && r.EndPos <= w.To;
                     }),
                     failure(QStringLiteral("run %1-%2 outside the windows").arg(r.StartPos).arg(r.EndPos)).constData());
        }
    }
}

// Runs with windows on the workbench rules, text at scan start 100.
void TestOverlayColourMap::windowedRuns_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QList<int>>("windows"); // From, To, From, To ...
    QTest::addColumn<QString>("runs");
    const QByteArray line("Ausgabe \"Hallo Welt\" / Ende"); // string 108-119, comment 121-126
    // runs are cut at window edges and never leave them
    QTest::newRow("string cut at both edges") << line << QList<int>{110, 114} << "110-114:1";
    QTest::newRow("adjacent windows cut a run") << line << QList<int>{100, 103, 104, 109} << "100-103:0 104-106:0 108-109:1";
    QTest::newRow("one-character windows") << line << QList<int>{100, 100, 119, 119, 126, 126} << "100-100:0 119-119:1 126-126:2";
    QTest::newRow("window at the scan's end") << line << QList<int>{124, 126} << "124-126:2";
    QTest::newRow("window on plain text") << line << QList<int>{107, 107} << "";
    QTest::newRow("window before the scan") << line << QList<int>{0, 99} << "";
    QTest::newRow("window reaching past the scan") << line << QList<int>{125, 5000} << "125-126:2";
    QTest::newRow("window over every position") << line << QList<int>{INT_MIN, INT_MAX}
                                                << "100-106:0 108-119:1 121-126:2";
    QTest::newRow("windows at the ends of int") << line << QList<int>{INT_MIN, INT_MIN + 5, 104, 104, INT_MAX - 5, INT_MAX}
                                                << "104-104:0";
    // windows that are not sorted and disjoint count as none
    QTest::newRow("unsorted windows ignored") << line << QList<int>{121, 126, 100, 106} << "100-106:0 108-119:1 121-126:2";
    QTest::newRow("overlapping windows ignored") << line << QList<int>{100, 110, 110, 126} << "100-106:0 108-119:1 121-126:2";
    QTest::newRow("reversed window ignored") << line << QList<int>{126, 121} << "100-106:0 108-119:1 121-126:2";
}

void TestOverlayColourMap::windowedRuns()
{
    QFETCH(QByteArray, text);
    QFETCH(QList<int>, windows);
    QFETCH(QString, runs);
    std::vector<TScanWindow> ws;
    for (int i = 0; i + 1 < windows.size(); i += 2)
        ws.push_back({windows[i], windows[i + 1]});
    TColorOverlay o;
    o.Rules = WorkbenchColorRules();
    const std::string t = text.toStdString();
    TOverlayInput in;
    in.Text = t;
    in.ScanStart = 100;
    in.Windows = ws;
    o.Build(in);
    QCOMPARE(::runs(o), runs);
}

// A line of a megabyte with one window of 200 characters: the span list
// holds what meets the window, however long the line.
void TestOverlayColourMap::windowsOnMegabyteLine_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<QByteArray>("unit");
    QTest::addColumn<int>("maxSpans");
    QTest::addColumn<QString>("runsAtEdges"); // first and last run
    // bounds: the spans of the window's own statements (the whole line has
    // over 100,000)
    QTest::newRow("statements with strings") << QByteArray() << QByteArray("Ausgabe \"abc\" 1 ") << 30
                                             << "524288-524294:0 524480-524486:0";
    QTest::newRow("tabs and keywords") << QByteArray() << QByteArray("rot\tund\t") << 110
                                       << "524288-524290:0 524487-524487:255";
    QTest::newRow("one comment over the line") << QByteArray("/") << QByteArray("Ausgabe \"abc\" 1 ") << 30
                                               << "524288-524487:2 524288-524487:2";
    QTest::newRow("one string over the line") << QByteArray("\"") << QByteArray("rot 1 ") << 40
                                              << "524288-524487:1 524288-524487:1";
}

void TestOverlayColourMap::windowsOnMegabyteLine()
{
    QFETCH(QByteArray, head);
    QFETCH(QByteArray, unit);
    QFETCH(int, maxSpans);
    QFETCH(QString, runsAtEdges);
    std::string text = head.toStdString();
    while (text.size() < (1u << 20))
        text += unit.toStdString();
    if (head == "\"")
        text += '"';
    const std::vector<TScanWindow> ws{{1 << 19, (1 << 19) + 199}};
    TColorOverlay o;
    o.Rules = WorkbenchColorRules();
    TOverlayInput in;
    in.Text = text;
    in.Windows = ws;
    const int spans = o.CollectSpans(in);
    QVERIFY2(spans <= maxSpans, qPrintable(QString::number(spans)));
    o.Build(in);
    QVERIFY(o.RunCount() > 0);
    const TKeyDescr &first = o.Runs()[0], &last = o.Runs()[o.RunCount() - 1];
    QCOMPARE(QStringLiteral("%1-%2:%3 %4-%5:%6")
                 .arg(first.StartPos).arg(first.EndPos).arg(first.Level)
                 .arg(last.StartPos).arg(last.EndPos).arg(last.Level),
             runsAtEdges);
}

QTEST_APPLESS_MAIN(TestOverlayColourMap)
#include "tst_overlay_colourmap.moc"
