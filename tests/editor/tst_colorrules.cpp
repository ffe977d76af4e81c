// The colour rules without a widget: colour names, keywords, pairs and
// line ends, their tables, preparing and copying rules, spans drawn by the
// host and the workbench's own scheme.
#include "RulesTestKit.h"

#include <QtTest>

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

std::string cp(const char* s) { return std::string(s); }

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
    void workbenchScheme_data();
    void workbenchScheme();
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

QTEST_APPLESS_MAIN(TestColorRules)
#include "tst_colorrules.moc"
