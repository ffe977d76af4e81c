// The scanner, driven through the token pass: token kinds and payloads, the
// cut of long names and texts, comments, and where scan errors are reported.
#include "FrontEndRecorder.h"
#include "language/Global.h"
#include "language/Scanner.h"
#include "language/TokenPass.h"

#include <QtTest>

using namespace tarko;
using tarko::test::FrontEndRecorder;

class TestScanner : public QObject {
    Q_OBJECT
private slots:
    void tokens_data();
    void tokens();
    void scanErrors_data();
    void scanErrors();
    void displayNamesAndKeywordTable();
    void commentLeavesColumnAfterSlash();
    void tokenPassResult();
};

namespace {

// The token pass of text, entries joined with " | ".
QByteArray Dump(const QByteArray& text, bool* scanError = nullptr)
{
    QByteArray dump;
    TokenPass(text.toStdString(), [&](const std::string& entry) {
        if (!dump.isEmpty())
            dump += " | ";
        dump += QByteArray::fromStdString(entry);
    }, scanError);
    return dump;
}

} // namespace

void TestScanner::tokens_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("empty text: EOT at once") << QByteArray("") << QByteArray("EOT_Sym");
    QTest::newRow("name alone, then EOT") << QByteArray("x") << QByteArray("Bezeichner:X | EOT_Sym");
    QTest::newRow("blanks: tab, lone LF, space") << QByteArray("\tx\n y ") << QByteArray("Bezeichner:X | Bezeichner:Y | EOT_Sym");

    QTest::newRow("keyword: any case of Wei\xDF") << QByteArray("Wei\xDF WEI\xDF wei\xDF")
        << QByteArray("WEI\xDF_Sym | WEI\xDF_Sym | WEI\xDF_Sym | EOT_Sym");
    QTest::newRow("keyword: L\xF6schen with umlaut in both cases") << QByteArray("L\xF6schen L\xD6SCHEN")
        << QByteArray("L\xD6SCHEN_Sym | L\xD6SCHEN_Sym | EOT_Sym");
    QTest::newRow("keyword: Gr\xFCn, bis, Bis") << QByteArray("gr\xFCn bis Bis")
        << QByteArray("GR\xDCN_Sym | BIS_Sym | BIS_Sym | EOT_Sym");
    QTest::newRow("keyword: longest, Zufallseingabe") << QByteArray("zufallseingabe Grafiktext")
        << QByteArray("ZUFALLSEINGABE_Sym | GRAFIKTEXT_Sym | EOT_Sym");
    QTest::newRow("name: Loeschen is no keyword") << QByteArray("Loeschen") << QByteArray("Bezeichner:LOESCHEN | EOT_Sym");
    QTest::newRow("name: keyword prefix is a name") << QByteArray("Solanger") << QByteArray("Bezeichner:SOLANGER | EOT_Sym");
    QTest::newRow("name: umlauts in capitals, \xDF stays") << QByteArray("L\xE4nge \xDF\xFC")
        << QByteArray("Bezeichner:L\xC4NGE | Bezeichner:\xDF\xDC | EOT_Sym");
    QTest::newRow("name: 25 letters cut to 20") << QByteArray("abcdefghijklmnopqrstuvwxy;")
        << QByteArray("Bezeichner:ABCDEFGHIJKLMNOPQRST | Semikolon | EOT_Sym");
    QTest::newRow("name: digits continue it") << QByteArray("x2y") << QByteArray("Bezeichner:X2Y | EOT_Sym");

    QTest::newRow("number: directly followed by a letter") << QByteArray("3x") << QByteArray("Zahl:3 | Bezeichner:X | EOT_Sym");
    QTest::newRow("number: decimal comma") << QByteArray("0,9") << QByteArray("Zahl:0,9 | EOT_Sym");
    QTest::newRow("number: zero fraction") << QByteArray("100,0") << QByteArray("Zahl:100 | EOT_Sym");
    QTest::newRow("number: trailing comma consumed") << QByteArray("5,x") << QByteArray("Zahl:5 | Bezeichner:X | EOT_Sym");
    QTest::newRow("number: comma at the end") << QByteArray("5,") << QByteArray("Zahl:5 | EOT_Sym");
    QTest::newRow("number: range") << QByteArray("1..10") << QByteArray("Zahl:1 | PunktPunkt | Zahl:10 | EOT_Sym");
    QTest::newRow("number: many digits") << QByteArray("12345678901234567890")
        << QByteArray("Zahl:1,23456789012346E19 | EOT_Sym");

    QTest::newRow("symbols: assignment") << QByteArray("x<=x") << QByteArray("Bezeichner:X | Zuweisung_Sym | Bezeichner:X | EOT_Sym");
    QTest::newRow("symbols: < and = apart") << QByteArray("x< =x")
        << QByteArray("Bezeichner:X | kleiner | gleich | Bezeichner:X | EOT_Sym");
    QTest::newRow("symbols: every single one") << QByteArray("=><#+-*:();")
        << QByteArray("gleich | groesser | kleiner | ungleich | plus | minus | mal | geteilt | Klammer_auf | Klammer_zu | Semikolon | EOT_Sym");
    QTest::newRow("symbols: CR LF is one EOL") << QByteArray("x\r\n\r\n")
        << QByteArray("Bezeichner:X | EOL_Sym | EOL_Sym | EOT_Sym");
    QTest::newRow("symbols: code 0 inside the text ends it") << QByteArray("x\0y", 3) << QByteArray("Bezeichner:X | EOT_Sym");

    QTest::newRow("comment: after a statement") << QByteArray("Pause 10 / Sekunden\r\n")
        << QByteArray("PAUSE_Sym | Zahl:10 | EOL_Sym | EOT_Sym");
    QTest::newRow("comment: double slash line") << QByteArray("// Komet\r\n") << QByteArray("EOL_Sym | EOT_Sym");
    QTest::newRow("comment: directly after a number") << QByteArray("x <= 10/2\r\n")
        << QByteArray("Bezeichner:X | Zuweisung_Sym | Zahl:10 | EOL_Sym | EOT_Sym");
    QTest::newRow("comment: at the end of the text") << QByteArray("x / Ende") << QByteArray("Bezeichner:X | EOT_Sym");

    QTest::newRow("text: apostrophe inside") << QByteArray("Grafiktext (5; -9) \"Kreta '02\"")
        << QByteArray("GRAFIKTEXT_Sym | Klammer_auf | Zahl:5 | Semikolon | minus | Zahl:9 | Klammer_zu | Texte:Kreta '02 | EOT_Sym");
    QTest::newRow("text: slash is an ordinary character") << QByteArray("\"km/h\" x")
        << QByteArray("Texte:km/h | Bezeichner:X | EOT_Sym");
    QTest::newRow("text: empty") << QByteArray("\"\"") << QByteArray("Texte: | EOT_Sym");
    QTest::newRow("text: unterminated keeps trailing blanks") << QByteArray("\"abc  \r\nx")
        << QByteArray("Texte:abc   | EOL_Sym | Bezeichner:X | EOT_Sym");
    QTest::newRow("text: 100 characters cut to 80") << "\"" + QByteArray(80, 'a') + QByteArray(20, 'b') + "\""
        << "Texte:" + QByteArray(80, 'a') + " | EOT_Sym";
}

void TestScanner::tokens()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, expected);
    FrontEndRecorder rec;
    bool scanError = true;
    QCOMPARE(Dump(text, &scanError), expected);
    QVERIFY(!scanError);
    QVERIFY(rec.errors.empty());
}

void TestScanner::scanErrors_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("column");

    const QByteArray s2("Dieses Zeichen ist nicht bekannt. (S2)");
    const QByteArray dot("Hier sollte ein Komma stehen oder es fehlt der zweite Punkt.");
    QTest::newRow("unknown: underscore, caret after it") << QByteArray("Gewicht_2") << QByteArray("Bezeichner:GEWICHT") << s2 << 0 << 8;
    QTest::newRow("unknown: third character") << QByteArray("ab!") << QByteArray("Bezeichner:AB") << s2 << 0 << 3;
    QTest::newRow("unknown: comma starting a number") << QByteArray(",5") << QByteArray() << s2 << 0 << 1;
    QTest::newRow("unknown: form feed") << QByteArray("x\x0C") << QByteArray("Bezeichner:X") << s2 << 0 << 2;
    QTest::newRow("unknown: accented letter") << QByteArray("caf\xE9") << QByteArray("Bezeichner:CAF") << s2 << 0 << 4;
    QTest::newRow("unknown: third line counts lines") << QByteArray("x\r\ny\r\n  ?")
        << QByteArray("Bezeichner:X | EOL_Sym | Bezeichner:Y | EOL_Sym") << s2 << 2 << 3;
    QTest::newRow("unknown: after a comment line") << QByteArray("/ Kommentar\r\n&") << QByteArray("EOL_Sym") << s2 << 1 << 1;
    QTest::newRow("unknown: tab counts as one column") << QByteArray("\t\t[") << QByteArray() << s2 << 0 << 3;
    QTest::newRow("lone dot: decimal point") << QByteArray("2.5") << QByteArray("Zahl:2") << dot << 0 << 2;
    QTest::newRow("lone dot: three dots") << QByteArray("1...3") << QByteArray("Zahl:1 | PunktPunkt") << dot << 0 << 4;
}

void TestScanner::scanErrors()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, message);
    QFETCH(int, line);
    QFETCH(int, column);
    FrontEndRecorder rec;
    bool scanError = false;
    QCOMPARE(Dump(text, &scanError), before);
    QVERIFY(scanError);
    QVERIFY(!ParseOk());
    QCOMPARE(rec.errors.size(), size_t(1));
    QCOMPARE(QByteArray::fromStdString(rec.errors[0].message), message);
    QCOMPARE(rec.errors[0].line, line);
    QCOMPARE(rec.errors[0].column, column);
    QCOMPARE(SyntaxFehler().Line, line);
    QCOMPARE(SyntaxFehler().Column, column);
}

void TestScanner::displayNamesAndKeywordTable()
{
    QCOMPARE(QByteArray(SymbolName(Symbol::SOLANGE_Sym)), QByteArray("SOLANGE_Sym"));
    QCOMPARE(QByteArray(SymbolName(Symbol::LOESCHEN_Sym)), QByteArray("L\xD6SCHEN_Sym"));
    QCOMPARE(QByteArray(SymbolName(Symbol::GRAFIKTEXT_Sym)), QByteArray("GRAFIKTEXT_Sym"));
    QCOMPARE(QByteArray(SymbolName(Symbol::EOT_Sym)), QByteArray("EOT_Sym"));
    QCOMPARE(static_cast<int>(Symbol::EOT_Sym), SymbolCount - 1);
    // The colour words carry their colour numbers 14..20.
    QCOMPARE(static_cast<int>(Symbol::SCHWARZ_Sym), 14);
    QCOMPARE(static_cast<int>(Symbol::BLAU_Sym), 20);
    // Every keyword is recognised from its own display name.
    for (int i = 0; i < KeywordCount; ++i) {
        std::string word = SymbolName(static_cast<Symbol>(i));
        word.resize(word.size() - 4);   // drop "_Sym"
        InitScanner(word);
        TToken token;
        QVERIFY(GetSym(token));
        QCOMPARE(static_cast<int>(token.Sym), i);
    }
}

void TestScanner::commentLeavesColumnAfterSlash()
{
    FrontEndRecorder rec;
    InitScanner("ab / xyz\r\nc");
    TToken token;
    QVERIFY(GetSym(token));
    QVERIFY(GetSym(token));
    QCOMPARE(token.Sym, Symbol::EOL_Sym);
    QCOMPARE(SyntaxFehler().Column, 4);   // offset of the blank after the "/"
    QVERIFY(GetSym(token));
    QCOMPARE(token.Name, std::string("C"));
    QCOMPARE(SyntaxFehler().Line, 1);
    QCOMPARE(SyntaxFehler().Column, 1);
    // At the end the scanner keeps delivering EOT.
    QVERIFY(GetSym(token));
    QVERIFY(GetSym(token));
    QCOMPARE(token.Sym, Symbol::EOT_Sym);
}

void TestScanner::tokenPassResult()
{
    FrontEndRecorder rec;
    bool scanError = false;
    // A failing first token is the only false result; a later error still gives true.
    QVERIFY(!TokenPass("!x", {}, &scanError));
    QVERIFY(scanError);
    QVERIFY(TokenPass("x !", {}, &scanError));
    QVERIFY(scanError);
    QVERIFY(TokenPass("x", {}, &scanError));
    QVERIFY(!scanError);
    QCOMPARE(rec.errors.size(), size_t(2));
}

QTEST_APPLESS_MAIN(TestScanner)
#include "tst_scanner.moc"
