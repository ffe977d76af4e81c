// The colour rules and the overlay's colour map, without a widget.
#include "editor/ColorRules.h"
#include "editor/Overlay.h"
#include "editor/WorkbenchScheme.h"

#include <QtTest>

#include <random>

using namespace tarko;

Q_DECLARE_METATYPE(tarko::TKeyDrawingType)

namespace {

// "start-end" of every span, in list order, joined by blanks.
QString positions(const TKeyDescrList& list, int count)
{
    QStringList out;
    for (int i = 0; i < count; ++i)
        out << QStringLiteral("%1-%2").arg(list.Items[size_t(i)].StartPos).arg(list.Items[size_t(i)].EndPos);
    return out.join(u' ');
}

QString find(TColorRule& rule, const std::string& text, int scanStart = 0)
{
    TKeyDescrList list;
    list.Reset();
    const int n = rule.FindKeys(0, text, scanStart, list, nullptr);
    return positions(list, n);
}

// Runs of an overlay as "start-end:level", with the colour letter when asked.
QString runs(const TColorOverlay& o)
{
    QStringList out;
    for (int i = 0; i < o.RunCount(); ++i) {
        const TKeyDescr& r = o.Runs()[i];
        out << QStringLiteral("%1-%2:%3").arg(r.StartPos).arg(r.EndPos).arg(r.Level);
    }
    return out.join(u' ');
}

std::string cp(const char* s) { return std::string(s); }

// What a position looks like after Build: colour, level and key of the run
// over it, or nothing.
struct CellLook {
    bool Covered = false;
    TColor Color = 0;
    int Level = 0, Key = 0;
    bool operator==(const CellLook&) const = default;
};

CellLook lookAt(const TColorOverlay& o, int pos)
{
    for (int k = 0; k < o.RunCount(); ++k) {
        const TKeyDescr& r = o.Runs()[k];
        if (pos >= r.StartPos && pos <= r.EndPos)
            return {true, r.SpanColor, r.Level, r.IsKey};
    }
    return {};
}

QString windowText(const std::vector<TScanWindow>& ws)
{
    QStringList out;
    for (const TScanWindow& w : ws)
        out << QStringLiteral("%1-%2").arg(w.From).arg(w.To);
    return out.join(u' ');
}

// Rule sets for the windowed colouring checks.
enum class RuleSet { Workbench, Overlapping, PairsAndLineEnds, LongKeys };

TDrawRules ruleSet(RuleSet set, bool keyCase, bool partWord)
{
    if (set == RuleSet::Workbench)
        return WorkbenchColorRules();
    TDrawRules rules;
    TColorRule& keys = rules.Add();
    keys.KeyDrawingType = dtKeyShow;
    keys.KeyCase = keyCase;
    keys.PartWord = partWord;
    keys.ZOrder = 1;
    // keywords overlapping themselves and each other, one with a blank and
    // one with a quote, so that few bytes are outside every keyword
    keys.SetKeywords({"aa", "aba;blue", "Ab;lime", "BAB;navy", "a b;teal", "b\";yellow", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"});
    if (set == RuleSet::PairsAndLineEnds) {
        TColorRule& pairs = rules.Add();
        pairs.KeyDrawingType = dtBeginEnd;
        pairs.ZOrder = 2;
        pairs.SetKeyBegEndLst({"(*;*);red", "\";\";fuchsia", "ab;ba;green"});
        TColorRule& lineEnds = rules.Add();
        lineEnds.KeyDrawingType = dtBeginLineEnd;
        lineEnds.ZOrder = 1; // same level as the keywords: list order decides
        lineEnds.SetKeyLineEndLst({"//;blue", "b/;maroon"});
        TColorRule& drawn = rules.Add(); // spans from the host: every "1" and what follows it
        drawn.KeyDrawingType = dtEventDraw;
        drawn.ZOrder = 3;
    }
    if (set == RuleSet::LongKeys) {
        // keys of up to six characters that overlap each other, ends that
        // reach past where the next step starts, and one end never written
        TColorRule& pairs = rules.Add();
        pairs.KeyDrawingType = dtBeginEnd;
        pairs.ZOrder = 2;
        pairs.SetKeyBegEndLst({"(*;*);red", "\";\";fuchsia", "ab;ba;green", "{{{;}}};navy", "<<<<<<;>>>>>>;teal",
                               "*;**;blue", "[[;]]]]]];lime"});
        TColorRule& lineEnds = rules.Add();
        lineEnds.KeyDrawingType = dtBeginLineEnd;
        lineEnds.ZOrder = 2; // same level as the pairs: list order decides
        lineEnds.SetKeyLineEndLst({"//;blue", "b/;maroon", "<<<;olive"});
    }
    return rules;
}

void markOnes(TColorRule&, std::string_view text, TKeyDescr* a, int& count)
{
    for (size_t p = text.find('1'); p != std::string_view::npos && count < 64; p = text.find('1', p + 1))
        a[count++] = TKeyDescr{int(p), int(p) + 1, clRed, 0, 0};
}

// Sorted, disjoint windows inside first..last: often one at either end,
// one character long or touching the one before.
std::vector<TScanWindow> randomWindows(std::mt19937& rnd, int first, int last)
{
    const auto chance = [&](int percent) { return int(rnd() % 100) < percent; };
    std::vector<TScanWindow> ws;
    int from = chance(30) ? first : first + int(rnd() % unsigned(std::clamp(last - first + 1, 1, 60)));
    while (from <= last) {
        int to = chance(25) ? from : from + int(rnd() % 50);
        if (to >= last || chance(10))
            to = std::min(to, last);
        ws.push_back({from, to});
        from = chance(25) ? to + 1 : to + 2 + int(rnd() % 80);
    }
    if (!ws.empty() && chance(30))
        ws.back().To = last;
    return ws;
}

} // namespace

class TestColorRules : public QObject {
    Q_OBJECT
private slots:
    void colorFromText_data();
    void colorFromText();
    void keywordPattern();
    void keywordColorsBeyondTable();
    void keywords_data();
    void keywords();
    void pairs_data();
    void pairs();
    void lineEnds_data();
    void lineEnds();
    void pairTableParsing_data();
    void pairTableParsing();
    void prepareAlternates();
    void prepareParsesByKind();
    void assignCopiesListsAndSettings();
    void eventDrawn();
    void colourMapLevels_data();
    void colourMapLevels();
    void hotSpotSpans_data();
    void hotSpotSpans();
    void hotSpotHoverAndClick_data();
    void hotSpotHoverAndClick();
    void workbenchScheme_data();
    void workbenchScheme();
    void windowsColourAsWholeScan_data();
    void windowsColourAsWholeScan();
    void windowedRuns_data();
    void windowedRuns();
    void windowsOnMegabyteLine_data();
    void windowsOnMegabyteLine();
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

void TestColorRules::colorFromText_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<uint>("color");
    // names, after trimming and upper-casing
    QTest::newRow("name navy") << QByteArray("navy") << uint(RgbColor(0, 0, 0x80));
    QTest::newRow("name red lower") << QByteArray("red") << uint(clRed);
    QTest::newRow("name Red blanks") << QByteArray("  Red \t") << uint(clRed);
    QTest::newRow("name fuchsia") << QByteArray("FUCHSIA") << uint(clFuchsia);
    QTest::newRow("name teal") << QByteArray("teal") << uint(RgbColor(0, 0x80, 0x80));
    // numbers, read as RRGGBB
    QTest::newRow("hash green") << QByteArray("#00FF00") << uint(RgbColor(0, 0xFF, 0));
    QTest::newRow("hash orange") << QByteArray("#FF8000") << uint(RgbColor(0xFF, 0x80, 0));
    QTest::newRow("bare hex orange") << QByteArray("FF8000") << uint(RgbColor(0xFF, 0x80, 0));
    QTest::newRow("dollar orange") << QByteArray("$FF8000") << uint(RgbColor(0xFF, 0x80, 0));
    QTest::newRow("dollar lower hex") << QByteArray("$0000ff") << uint(RgbColor(0, 0, 0xFF));
    QTest::newRow("high byte ignored") << QByteArray("$12FF0000") << uint(RgbColor(0xFF, 0, 0));
    QTest::newRow("short hex") << QByteArray("80") << uint(RgbColor(0, 0, 0x80));
    QTest::newRow("cut to ten chars") << QByteArray("0000FF00001") << uint(clRed);
    // unreadable: white
    QTest::newRow("unreadable zz") << QByteArray("zz") << uint(clWhite);
    QTest::newRow("unreadable clRed") << QByteArray("clRed") << uint(clWhite);
    QTest::newRow("unreadable empty") << QByteArray("") << uint(clWhite);
    QTest::newRow("unreadable only hash") << QByteArray("#") << uint(clWhite);
    QTest::newRow("unreadable dollar inside") << QByteArray("12$34") << uint(clWhite);
}

void TestColorRules::colorFromText()
{
    QFETCH(QByteArray, text);
    QFETCH(uint, color);
    QCOMPARE(uint(ColorFromText(text.toStdString())), color);
}

void TestColorRules::keywordPattern()
{
    TColorRule rule;
    rule.KeyDrawingType = dtKeyShow;
    rule.SetKeywords({"AB", "  ", "cd;", ";blue", "ef;navy", "gh;  "});
    // Blank lines and blank keywords are skipped; "cd;" and "gh;  " take DefKeyColor.
    const std::string expected = std::string("*AB*+") + char(1) + "*CD*+" + char(1) + "*EF*+" + char(2) + "*GH*+" + char(1) + "*";
    QCOMPARE(rule.KeyPattern(), expected);
    QCOMPARE(rule.KeyColors().size(), size_t(2));
    QCOMPARE(rule.KeyColors()[0], clRed);
    QCOMPARE(rule.KeyColors()[1], RgbColor(0, 0, 0x80));

    // KeyCase keeps the keywords as written; only a-z are ever folded.
    TColorRule cased;
    cased.KeyCase = true;
    cased.SetKeywords({"Ausgabe"});
    QCOMPARE(cased.KeyPattern(), std::string("*Ausgabe*+") + char(1) + "*");
    TColorRule folded;
    folded.SetKeywords({cp("L\xF6schen")});
    QCOMPARE(folded.KeyPattern(), std::string("*L\xF6SCHEN*+") + char(1) + "*");

    // A keyword holding the pattern's separator or longer than 31 characters is left out.
    TColorRule odd;
    odd.SetKeywords({"a*b", std::string(32, 'X'), std::string(31, 'Y')});
    QCOMPARE(odd.KeyPattern(), "*" + std::string(31, 'Y') + "*+" + char(1) + "*");
}

void TestColorRules::keywordColorsBeyondTable()
{
    TStrings lines;
    for (int i = 0; i < 43; ++i)
        lines.push_back(QStringLiteral("K%1;$%2").arg(i).arg(i + 1, 6, 16, QChar(u'0')).toStdString());
    TColorRule rule;
    rule.KeyDrawingType = dtKeyShow;
    rule.SetKeywords(lines);
    QCOMPARE(rule.KeyColors().size(), size_t(kMaxKeyColors));
    // The 42nd and 43rd distinct colours have no room: they take the index of
    // the keyword parsed before, i.e. the 41st colour.
    const std::string& p = rule.KeyPattern();
    const size_t k41 = p.find("*K41*+");
    const size_t k42 = p.find("*K42*+");
    QVERIFY(k41 != std::string::npos && k42 != std::string::npos);
    QCOMPARE(int(p[k41 + 6]), 41);
    QCOMPARE(int(p[k42 + 6]), 41);
    // "K4" matches too: a digit is no word character.
    TKeyDescrList list;
    list.Reset();
    const int n = rule.FindKeys(0, "K42", 0, list, nullptr);
    QCOMPARE(positions(list, n), QStringLiteral("0-1 0-2"));
    QCOMPARE(list.Items[1].SpanColor, rule.KeyColors()[40]);
}

void TestColorRules::keywords_data()
{
    QTest::addColumn<QStringList>("keywords");
    QTest::addColumn<bool>("keyCase");
    QTest::addColumn<bool>("partWord");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("spans");
    const QStringList ausgabe{QStringLiteral("Ausgabe")};
    // whole words, any case of a-z
    QTest::newRow("coloured lower") << ausgabe << false << false << QByteArray("ausgabe") << "0-6";
    QTest::newRow("coloured upper") << ausgabe << false << false << QByteArray("AUSGABE") << "0-6";
    QTest::newRow("coloured mixed in line") << ausgabe << false << false << QByteArray("x Ausgabe y") << "2-8";
    QTest::newRow("coloured before digit") << ausgabe << false << false << QByteArray("Ausgabe1") << "0-6";
    QTest::newRow("coloured after underscore") << ausgabe << false << false << QByteArray("_Ausgabe") << "1-7";
    QTest::newRow("coloured in parentheses") << ausgabe << false << false << QByteArray("(Ausgabe)") << "1-7";
    QTest::newRow("coloured next to umlaut") << ausgabe << false << false << QByteArray("\xE4" "Ausgabe\xDF") << "1-7";
    QTest::newRow("coloured across line break") << ausgabe << false << false << QByteArray("a\r\nAusgabe\r\n") << "3-9";
    // not whole words
    QTest::newRow("plain inside longer word") << ausgabe << false << false << QByteArray("Ausgabewert") << "";
    QTest::newRow("plain after letter") << ausgabe << false << false << QByteArray("XAusgabe") << "";
    QTest::newRow("plain after at sign") << ausgabe << false << false << QByteArray("@Ausgabe") << "";
    QTest::newRow("plain before bracket letter") << ausgabe << false << false << QByteArray("Ausgabe[") << "0-6";
    // case
    QTest::newRow("case kept plain") << ausgabe << true << false << QByteArray("ausgabe AUSGABE") << "";
    QTest::newRow("case kept coloured") << ausgabe << true << false << QByteArray("ausgabe Ausgabe") << "8-14";
    const QStringList loeschen{QString::fromLatin1("L\xF6schen")};
    QTest::newRow("umlaut folded a-z only lower") << loeschen << false << false << QByteArray("l\xF6schen") << "0-6";
    QTest::newRow("umlaut folded a-z only mixed") << loeschen << false << false << QByteArray("L\xF6SCHEN") << "0-6";
    QTest::newRow("umlaut capital not folded") << loeschen << false << false << QByteArray("L\xD6SCHEN") << "";
    // PartWord
    const QStringList bis{QStringLiteral("Bis")};
    QTest::newRow("partword inside word") << bis << false << true << QByteArray("Biskuit") << "0-2";
    QTest::newRow("wholeword inside word") << bis << false << false << QByteArray("Biskuit") << "";
    QTest::newRow("partword occurrences do not overlap") << QStringList{QStringLiteral("aa")} << false << true
                                                         << QByteArray("aaaaa") << "0-1 2-3";
    // list order: all occurrences of the first keyword before the second
    QTest::newRow("order by keyword") << QStringList{QStringLiteral("rot"), QStringLiteral("und")} << false << false
                                      << QByteArray("und rot und rot") << "4-6 12-14 0-2 8-10";
}

void TestColorRules::keywords()
{
    QFETCH(QStringList, keywords);
    QFETCH(bool, keyCase);
    QFETCH(bool, partWord);
    QFETCH(QByteArray, text);
    QFETCH(QString, spans);
    TColorRule rule;
    rule.KeyDrawingType = dtKeyShow;
    rule.KeyCase = keyCase;
    rule.PartWord = partWord;
    TStrings lines;
    for (const QString& k : keywords)
        lines.push_back(k.toLatin1().toStdString());
    rule.SetKeywords(lines);
    QCOMPARE(find(rule, text.toStdString()), spans);
}

void TestColorRules::pairs_data()
{
    QTest::addColumn<QStringList>("list");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("spans");
    const QStringList quote{QStringLiteral("\";\"")};
    QTest::newRow("quoted word then lone quote") << quote << QByteArray("a \"rot\" b \" rest") << "2-6";
    QTest::newRow("string over line break") << quote << QByteArray("x \"ab\r\ncd\" y") << "2-9";
    QTest::newRow("two strings") << quote << QByteArray("\"a\" \"b\"") << "0-2 4-6";
    QTest::newRow("empty string") << quote << QByteArray("\"\"x") << "0-1";
    QTest::newRow("no closing quote") << quote << QByteArray("Ausgabe \"ohne Ende") << "";
    // same begin position: the entry nearer the top wins
    QTest::newRow("earlier entry wins tie") << QStringList{QStringLiteral("(;)"), QStringLiteral("(*;*)")}
                                            << QByteArray("(* a ) b *)") << "0-5";
    QTest::newRow("earliest begin wins") << QStringList{QStringLiteral("(;)"), QStringLiteral("[;]")}
                                         << QByteArray("x [a] (b)") << "2-4 6-8";
    // the end marker is searched from the begin's second character on
    QTest::newRow("end inside begin marker") << QStringList{QStringLiteral("(*;*)")} << QByteArray("(*)") << "0-2";
    QTest::newRow("multi char markers") << QStringList{QStringLiteral("(*;*);TEAL")} << QByteArray("a (* b *) c") << "2-8";
    // an empty entry hides all later ones
    QTest::newRow("empty entry hides later") << QStringList{QStringLiteral("\";\""), QStringLiteral("x"), QStringLiteral("(;)")}
                                             << QByteArray("(a) \"b\"") << "4-6";
    // a missing end stops the rule, spans found before stay
    QTest::newRow("missing end stops scan") << QStringList{QStringLiteral("\";\""), QStringLiteral("(;)")}
                                            << QByteArray("\"a\" ( \"b\"") << "0-2";
}

void TestColorRules::pairs()
{
    QFETCH(QStringList, list);
    QFETCH(QByteArray, text);
    QFETCH(QString, spans);
    TColorRule rule;
    rule.KeyDrawingType = dtBeginEnd;
    TStrings lines;
    for (const QString& l : list)
        lines.push_back(l.toStdString());
    rule.SetKeyBegEndLst(lines);
    QCOMPARE(find(rule, text.toStdString()), spans);
    // Positions are those of the whole text: a scan starting later shifts them.
    if (!spans.isEmpty())
        QCOMPARE(find(rule, text.toStdString(), 100).split(u' ').size(), spans.split(u' ').size());
}

void TestColorRules::lineEnds_data()
{
    QTest::addColumn<QStringList>("list");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("spans");
    const QStringList slash{QStringLiteral("/;")};
    QTest::newRow("two slashes one span") << slash << QByteArray("a / b / c\r\nd") << "2-8";
    QTest::newRow("one span per line") << slash << QByteArray("/a\r\nb /c\r\n/") << "0-1 6-7 10-10";
    QTest::newRow("to end of scan") << slash << QByteArray("x /abc") << "2-5";
    QTest::newRow("marker at line end") << slash << QByteArray("x /\r\ny") << "2-2";
    QTest::newRow("no marker") << slash << QByteArray("abc\r\n") << "";
    QTest::newRow("two char marker") << QStringList{QStringLiteral("//;GREEN")} << QByteArray("a / b // c") << "6-9";
    QTest::newRow("earliest of two markers") << QStringList{QStringLiteral("#;"), QStringLiteral("/;")}
                                             << QByteArray("a / # b\r\n# c") << "2-6 9-11";
}

void TestColorRules::lineEnds()
{
    QFETCH(QStringList, list);
    QFETCH(QByteArray, text);
    QFETCH(QString, spans);
    TColorRule rule;
    rule.KeyDrawingType = dtBeginLineEnd;
    TStrings lines;
    for (const QString& l : list)
        lines.push_back(l.toStdString());
    rule.SetKeyLineEndLst(lines);
    QCOMPARE(find(rule, text.toStdString()), spans);
}

void TestColorRules::pairTableParsing_data()
{
    QTest::addColumn<bool>("lineEnd");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("beginKey");
    QTest::addColumn<QString>("endKey");
    QTest::addColumn<uint>("color");
    // pair lines
    QTest::newRow("pair quote") << false << "\";\"" << "\"" << "\"" << uint(clRed);
    QTest::newRow("pair with colour") << false << "(*;*);TEAL" << "(*" << "*)" << uint(RgbColor(0, 0x80, 0x80));
    QTest::newRow("pair cut to six") << false << "ABCDEFGH;12345678;navy" << "ABCDEF" << "123456" << uint(RgbColor(0, 0, 0x80));
    QTest::newRow("pair leading semicolon empty") << false << ";x" << "" << "" << uint(0);
    QTest::newRow("pair without semicolon empty") << false << "abc" << "" << "" << uint(0);
    QTest::newRow("pair empty end") << false << "a;" << "a" << "" << uint(clRed);
    // line-end lines
    QTest::newRow("lineend slash") << true << "/;" << "/" << "" << uint(clRed);
    QTest::newRow("lineend with colour") << true << "//;GREEN" << "//" << "" << uint(RgbColor(0, 0x80, 0));
    QTest::newRow("lineend semicolon marker") << true << ";;blue" << ";" << "" << uint(RgbColor(0, 0, 0xFF));
    QTest::newRow("lineend single leading semicolon") << true << ";x" << ";x" << "" << uint(clRed);
    QTest::newRow("lineend no semicolon") << true << "REM" << "REM" << "" << uint(clRed);
    QTest::newRow("lineend cut to six") << true << "ABCDEFGH" << "ABCDEF" << "" << uint(clRed);
}

void TestColorRules::pairTableParsing()
{
    QFETCH(bool, lineEnd);
    QFETCH(QString, line);
    QFETCH(QString, beginKey);
    QFETCH(QString, endKey);
    QFETCH(uint, color);
    TColorRule rule;
    QVERIFY(rule.PairTable().empty()); // no table until a list is parsed
    if (lineEnd)
        rule.SetKeyLineEndLst({line.toStdString()});
    else
        rule.SetKeyBegEndLst({line.toStdString()});
    QCOMPARE(rule.PairTable().size(), size_t(kPairTableSize));
    const TKeyPair& p = rule.PairTable()[0];
    QCOMPARE(QString::fromStdString(p.BeginKey), beginKey);
    QCOMPARE(QString::fromStdString(p.EndKey), endKey);
    if (!beginKey.isEmpty())
        QCOMPARE(uint(p.PairColor), color);
}

void TestColorRules::prepareAlternates()
{
    TDrawRules rules;
    QVERIFY(rules.NeedsPrepare);
    rules.PrepareRules(); // no rules: nothing has content
    QVERIFY(rules.NeedsPrepare);

    TColorRule& r = rules.Add();
    r.KeyDrawingType = dtKeyShow;
    r.SetKeywords({"rot"});
    rules.PrepareRules();
    QVERIFY(!rules.NeedsPrepare);
    // A change at run time shows within two paints: the next one only sets the flag.
    r.DefKeyColor = clBlue;
    rules.PrepareRules();
    QVERIFY(rules.NeedsPrepare);
    QCOMPARE(r.KeyColors()[0], clRed);
    rules.PrepareRules();
    QCOMPARE(r.KeyColors()[0], clBlue);
    QVERIFY(!rules.NeedsPrepare);
}

void TestColorRules::prepareParsesByKind()
{
    // Lists filled in any order and before the colour: preparation sorts it out.
    TColorRule r;
    r.SetKeyLineEndLst({"/;"});
    r.SetKeyBegEndLst({"\";\""}); // the table now holds the pair list
    QCOMPARE(r.PairTable()[0].EndKey, std::string("\""));
    r.KeyDrawingType = dtBeginLineEnd;
    r.DefKeyColor = clBlue;
    QVERIFY(r.Prepare());
    QCOMPARE(r.PairTable()[0].BeginKey, std::string("/"));
    QCOMPARE(r.PairTable()[0].PairColor, clBlue);

    TColorRule empty;
    empty.KeyDrawingType = dtKeyShow;
    QVERIFY(!empty.Prepare());
    QCOMPARE(find(empty, "rot"), QString());

    // A keyword list on a pair rule is not parsed and not searched.
    TColorRule pairKind;
    pairKind.SetKeywords({"rot"});
    pairKind.KeyDrawingType = dtBeginEnd;
    QVERIFY(!pairKind.Prepare());
    QCOMPARE(find(pairKind, "rot"), QString());
}

void TestColorRules::assignCopiesListsAndSettings()
{
    TDrawRules src = WorkbenchColorRules();
    src[0].KeySelColor = clBlack;
    src[0].IntChar = "x";
    TDrawRules dst;
    dst.Add();
    dst.Assign(src);
    QCOMPARE(dst.Count(), 3);
    QCOMPARE(dst[0].KeyDrawingType, dtBeginLineEnd);
    QCOMPARE(dst[0].ZOrder, std::uint8_t(2));
    QCOMPARE(dst[0].DefKeyColor, clBlue);
    QCOMPARE(dst[0].KeySelColor, clYellow); // not copied
    QVERIFY(dst[0].IntChar.empty());        // not copied
    QCOMPARE(dst[1].Keywords().size(), size_t(26));
    QCOMPARE(dst[2].KeyMaxHeight, 0);
    // The pair list is set last, so the comment rule's table holds its (empty) pair list.
    QCOMPARE(dst[0].PairTable()[0].BeginKey, std::string());
    QCOMPARE(find(dst[2], "a \"b\" c"), QStringLiteral("2-4"));
    // Copies are independent.
    src[1].SetKeywords({});
    QCOMPARE(dst[1].Keywords().size(), size_t(26));
}

void TestColorRules::eventDrawn()
{
    TColorOverlay o;
    TColorRule& kw = o.Rules.Add();
    kw.KeyDrawingType = dtKeyShow;
    kw.SetKeywords({"rot"});
    TColorRule& ev = o.Rules.Add();
    ev.KeyDrawingType = dtEventDraw;
    ev.ZOrder = 7;
    int calls = 0;
    std::string seen;
    o.Host.OnDraw = [&](TColorRule&, std::string_view from, TKeyDescr* a, int& n) {
        ++calls;
        seen = std::string(from);
        a[0].StartPos = 0; a[0].EndPos = 1; a[0].SpanColor = clBlue; a[0].Level = 0;
        a[1].StartPos = 4; a[1].EndPos = 99; a[1].SpanColor = clLime; a[1].Level = 9;  // runs past the text
        a[2].StartPos = -5; a[2].EndPos = -1; a[2].SpanColor = clLime;                  // outside
        n = 5; // more than the records it was given
    };
    TOverlayInput in;
    const std::string text = "ab rot";
    in.Text = text;
    in.ScanStart = 10;

    // No records (ColorLimMax 0): the handler is not called, the keyword stays.
    int n = o.CollectSpans(in);
    QCOMPARE(calls, 0);
    QCOMPARE(positions(o.Spans, n), QStringLiteral("13-15"));

    o.Host.ColorLimBuf.assign(3, TKeyDescr());
    n = o.CollectSpans(in);
    QCOMPARE(calls, 1);
    QCOMPARE(seen, text);
    QCOMPARE(positions(o.Spans, n), QStringLiteral("13-15 10-11 14-15"));
    QCOMPARE(int(o.Spans.Items[1].Level), 7); // record level 0: the rule's ZOrder
    QCOMPARE(int(o.Spans.Items[2].Level), 9);
}

void TestColorRules::colourMapLevels_data()
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

void TestColorRules::colourMapLevels()
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

void TestColorRules::hotSpotSpans_data()
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

void TestColorRules::hotSpotSpans()
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

void TestColorRules::hotSpotHoverAndClick_data()
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

void TestColorRules::hotSpotHoverAndClick()
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

void TestColorRules::workbenchScheme_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("colours"); // one letter per character: . plain, r red, b blue, f fuchsia
    QTest::newRow("condition with comment") << QByteArray("Falls x = 1 / Vergleich") << "rrrrr.......bbbbbbbbbbb";
    QTest::newRow("string with slash") << QByteArray("Ausgabe \"Hallo / Welt\"") << "rrrrrrr.fffffffbbbbbbb";
    QTest::newRow("keyword between quotes") << QByteArray("\"rot\" rot") << "fffff.rrr";
    QTest::newRow("capital umlauts stay plain") << QByteArray("L\xD6SCHEN GR\xDCN") << "............";
    QTest::newRow("small umlauts coloured") << QByteArray("L\xF6schen l\xF6schen WEI\xDF Wei\xDF") << "rrrrrrr.rrrrrrr.rrrr.rrrr";
    QTest::newRow("keyword part before digit") << QByteArray("Ausgabe2 rot_1") << "rrrrrrr..rrr..";
    QTest::newRow("longer words plain") << QByteArray("Wiederholen Bisher") << "..................";
    QTest::newRow("both loop keywords whole") << QByteArray("Solange SolangeEnde") << "rrrrrrr.rrrrrrrrrrr";
    QTest::newRow("unclosed string plain") << QByteArray("Ausgabe \"ohne Ende") << "rrrrrrr...........";
    QTest::newRow("string over two lines") << QByteArray("\"a\r\nb\" rot") << "ffff.rrr";
}

void TestColorRules::workbenchScheme()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, colours);
    TColorOverlay o;
    o.Rules = WorkbenchColorRules();
    const std::string t = text.toStdString();
    TOverlayInput in;
    in.Text = t;
    o.Build(in);
    // One letter per character, line-break cells left out.
    QString got;
    for (int i = 0; i < int(t.size()); ++i) {
        if (t[size_t(i)] == '\r' || t[size_t(i)] == '\n')
            continue;
        QChar c = u'.';
        for (int k = 0; k < o.RunCount(); ++k) {
            const TKeyDescr& r = o.Runs()[k];
            if (i >= r.StartPos && i <= r.EndPos)
                c = r.SpanColor == clRed ? u'r' : r.SpanColor == clBlue ? u'b' : r.SpanColor == clFuchsia ? u'f' : u'?';
        }
        got += c;
    }
    QCOMPARE(got, colours);
}

// Random texts built from fragments that provoke the edge cases; for each,
// random windows: inside them the windowed colours equal the whole scan's.
void TestColorRules::windowsColourAsWholeScan_data()
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

void TestColorRules::windowsColourAsWholeScan()
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
void TestColorRules::windowedRuns_data()
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

void TestColorRules::windowedRuns()
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
void TestColorRules::windowsOnMegabyteLine_data()
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

void TestColorRules::windowsOnMegabyteLine()
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

// One overlay through a long editing session, told honestly where each
// change begins: after every Build its spans and the runs in the windows
// equal those of a fresh overlay building the same input.
void TestColorRules::resumedBuildsMatchFreshBuilds_data()
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

void TestColorRules::resumedBuildsMatchFreshBuilds()
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
void TestColorRules::resumeFollowsTheChange_data()
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

void TestColorRules::resumeFollowsTheChange()
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
void TestColorRules::resumePointsAtKeyEdges_data()
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

void TestColorRules::resumePointsAtKeyEdges()
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
void TestColorRules::noPointInsideASpanNearTheScanEnd()
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
void TestColorRules::settingsChangedBetweenBuilds_data()
{
    QTest::addColumn<int>("change");
    QTest::newRow("pair keys") << 0;
    QTest::newRow("pair colour") << 1;
    QTest::newRow("rule level") << 2;
    QTest::newRow("rule kind") << 3;
    QTest::newRow("hot-spot markers") << 4;
    QTest::newRow("rule added before") << 6;
}

void TestColorRules::settingsChangedBetweenBuilds()
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

QTEST_APPLESS_MAIN(TestColorRules)
#include "tst_colorrules.moc"
