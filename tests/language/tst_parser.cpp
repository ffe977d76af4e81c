// The parser: code templates of every statement, the first error with its
// message and place, the example programs, and the limits that keep a
// compiled program inside the interpreter's stores.
#include "FrontEndRecorder.h"
#include "language/Parser.h"
#include "language/Scanner.h"
#include "language/SymTab.h"

#include <QtTest>

using namespace tarko;
using tarko::test::FrontEndRecorder;
using tarko::test::ReadCompiledCode;

class TestParser : public QObject {
    Q_OBJECT
private slots:
    void code_data();
    void code();
    void texts_data();
    void texts();
    void listingOfWhileLoop();
    void errors_data();
    void errors();
    void examplePrograms_data();
    void examplePrograms();
    void limits_data();
    void limits();
    void hostileInputNeverCrashes();
    void compilationStartsAfresh();
    void sourceLines_data();
    void sourceLines();
    void sourceLinesStartAfresh();
};

namespace {

// Program lines joined with CR LF, without a line end after the last.
std::string Program(const QByteArray& lines)
{
    QByteArray text = lines;
    text.replace("\n", "\r\n");
    return text.toStdString();
}

std::string Repeat(const std::string& line, int n)
{
    std::string text;
    text.reserve(line.size() * static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        text += line;
    return text;
}

} // namespace

void TestParser::code_data()
{
    QTest::addColumn<QByteArray>("program");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("variables");

    QTest::newRow("empty and comment lines only") << QByteArray("\n/ nur ein Kommentar\n\n") << QByteArray() << 0;
    QTest::newRow("assignment and output") << QByteArray("x <= 5\nAusgabe x")
        << QByteArray("PUSHC 5, POPC 0, PUSH 0, WRREAL, PUSHC 0, WRTEXT") << 1;
    QTest::newRow("Solange loop") << QByteArray("x <= 1\nSolange x < 3\nAusgabe x\nx <= x + 1\nSolangeende")
        << QByteArray("PUSHC 1, POPC 0, PUSH 0, PUSHC 3, LESS, BREQL 15, PUSH 0, WRREAL, PUSHC 0, WRTEXT, "
                      "PUSH 0, PUSHC 1, ADD, POPC 0, BRANCH 2") << 1;
    QTest::newRow("Falls with Ansonsten") << QByteArray("x <= 2\nFalls x = 1\nAusgabe 1\nAnsonsten\nAusgabe 2\nFallsende")
        << QByteArray("PUSHC 2, POPC 0, PUSH 0, PUSHC 1, EQUAL, BREQL 11, PUSHC 1, WRREAL, PUSHC 0, WRTEXT, "
                      "BRANCH 15, PUSHC 2, WRREAL, PUSHC 1, WRTEXT") << 1;
    QTest::newRow("Falls without Ansonsten: both jumps to the next") << QByteArray("x <= 2\nFalls x > 1\nAusgabe 1\nFallsende")
        << QByteArray("PUSHC 2, POPC 0, PUSH 0, PUSHC 1, GREATER, BREQL 11, PUSHC 1, WRREAL, PUSHC 0, WRTEXT, BRANCH 11") << 1;
    QTest::newRow("Wiederhole loop") << QByteArray("i <= 0\nWiederhole\ni <= i + 1\nBis i = 3")
        << QByteArray("PUSHC 0, POPC 0, PUSH 0, PUSHC 1, ADD, POPC 0, PUSH 0, PUSHC 3, EQUAL, BRNEQL 11, BRANCH 2") << 1;
    QTest::newRow("Wiederhole with a statement on its line") << QByteArray("Wiederhole Ausgabe 1\nBis 1 = 1")
        << QByteArray("PUSHC 1, WRREAL, PUSHC 0, WRTEXT, PUSHC 1, PUSHC 1, EQUAL, BRNEQL 9, BRANCH 0") << 0;
    QTest::newRow("keywords ignore case: wiederhole .. bis") << QByteArray("Tipp <= 2\nwiederhole\nTipp <= Tipp - 1\nbis Tipp = 0")
        << QByteArray("PUSHC 2, POPC 0, PUSH 0, PUSHC 1, SUB, POPC 0, PUSH 0, PUSHC 0, EQUAL, BRNEQL 11, BRANCH 2") << 1;
    QTest::newRow("nested loops patch their own jumps") << QByteArray("Solange 1 = 1\nFalls 2 = 2\nFallsende\nSolangeende")
        << QByteArray("PUSHC 1, PUSHC 1, EQUAL, BREQL 10, PUSHC 2, PUSHC 2, EQUAL, BREQL 9, BRANCH 9, BRANCH 0") << 0;
    QTest::newRow("Oder then Und, left to right") << QByteArray("x <= 1\nFalls x = 1 Oder x = 2 Und x # 3\nFallsende")
        << QByteArray("PUSHC 1, POPC 0, PUSH 0, PUSHC 1, EQUAL, PUSH 0, PUSHC 2, EQUAL, ADD, "
                      "PUSH 0, PUSHC 3, NOTEQL, MUL, BREQL 15, BRANCH 15") << 1;
    QTest::newRow("output of a text and a variable") << QByteArray("Zahl <= 1\nAusgabe \"Merke dir die Zahl \" Zahl")
        << QByteArray("PUSHC 1, POPC 0, PUSHC 0, WRTEXT, PUSH 0, WRREAL, PUSHC 1, WRTEXT") << 1;
    QTest::newRow("output: x -5 is one value") << QByteArray("x <= 1\nAusgabe x -5")
        << QByteArray("PUSHC 1, POPC 0, PUSH 0, PUSHC 5, SUB, WRREAL, PUSHC 0, WRTEXT") << 1;
    QTest::newRow("output: two items after each other") << QByteArray("Ausgabe 1 (2)")
        << QByteArray("PUSHC 1, WRREAL, PUSHC 2, WRREAL, PUSHC 0, WRTEXT") << 0;
    QTest::newRow("output alone prints a line break") << QByteArray("Ausgabe") << QByteArray("PUSHC 0, WRTEXT") << 0;
    QTest::newRow("input without prompt") << QByteArray("Eingabe Tipp")
        << QByteArray("PUSHC 0, WRTEXT, RDREAL, POPC 0, PUSHC 1, WRTEXT") << 1;
    QTest::newRow("random input") << QByteArray("Zufallseingabe (1..6) Wurf")
        << QByteArray("PUSHC 1, PUSHC 6, RNDINT, POPC 0") << 1;
    QTest::newRow("clear and pause") << QByteArray("L\xF6schen\nPause 0,5")
        << QByteArray("L\xD6SCHEN, PUSHC 0.5, PAUSE") << 0;
    QTest::newRow("expression: parentheses, minus, comma numbers") << QByteArray("L\xE4nge <= 170\nIdealgewicht <= (L\xE4nge - 100,0) * 0,9")
        << QByteArray("PUSHC 170, POPC 0, PUSH 0, PUSHC 100, SUB, PUSHC 0.9, MUL, POPC 1") << 2;
    QTest::newRow("expression: sign applies to the first term") << QByteArray("x <= 1\nStern <= -x * 2")
        << QByteArray("PUSHC 1, POPC 0, PUSH 0, PUSHC 2, MUL, PUSHC -1, MUL, POPC 1") << 2;
    QTest::newRow("expression: sign inside parentheses") << QByteArray("a <= 3 * (-2) : 4")
        << QByteArray("PUSHC 3, PUSHC 2, PUSHC -1, MUL, MUL, PUSHC 4, DIV, POPC 0") << 1;
    QTest::newRow("declared in a branch further up") << QByteArray("Falls 1 = 2\na <= 1\nFallsende\nAusgabe a")
        << QByteArray("PUSHC 1, PUSHC 2, EQUAL, BREQL 7, PUSHC 1, POPC 0, BRANCH 7, PUSH 0, WRREAL, PUSHC 0, WRTEXT") << 1;
    QTest::newRow("colours push their kind") << QByteArray("Gr\xFCn\nwei\xDF")
        << QByteArray("PUSHC 19, GCOLOR 0, PUSHC 16, GCOLOR 0") << 0;
    QTest::newRow("line with a comment behind") << QByteArray("Linie (-10;   0) (10;  0) / x")
        << QByteArray("PUSHC 10, PUSHC -1, MUL, PUSHC 0, PUSHC 10, PUSHC 0, GLINE") << 0;
    QTest::newRow("rectangle, pairs without blank") << QByteArray("Rechteck (0;0)(1;1)")
        << QByteArray("PUSHC 0, PUSHC 0, PUSHC 1, PUSHC 1, GRECTFIL") << 0;
    QTest::newRow("point of computed values") << QByteArray("x <= 5\ny <= 5\nPunkt (x:10;y:10)")
        << QByteArray("PUSHC 5, POPC 0, PUSHC 5, POPC 1, PUSH 0, PUSHC 10, DIV, PUSH 1, PUSHC 10, DIV, GPLOT") << 2;
    QTest::newRow("circle") << QByteArray("Kreis (-3,5; 4; 1)")
        << QByteArray("PUSHC 3.5, PUSHC -1, MUL, PUSHC 4, PUSHC 1, GCIRCLE") << 0;
    QTest::newRow("graphic text") << QByteArray("Grafiktext (9; 1) \"x\" / x")
        << QByteArray("PUSHC 9, PUSHC 1, PUSHC 0, GTEXT") << 0;
    QTest::newRow("last line with its line break") << QByteArray("x <= 5\n")
        << QByteArray("PUSHC 5, POPC 0") << 1;
}

void TestParser::code()
{
    QFETCH(QByteArray, program);
    QFETCH(QByteArray, body);
    QFETCH(int, variables);
    FrontEndRecorder rec;
    QVERIFY(CompileProgram(Program(program)));
    QVERIFY(rec.errors.empty());
    const auto code = ReadCompiledCode();
    QCOMPARE(code.version, 8.0);
    QCOMPARE(QByteArray::fromStdString(code.body), body);
    QCOMPARE(code.last, std::string("HALT"));
    QCOMPARE(code.count, body.isEmpty() ? 1 : int(body.count(", ")) + 2);
    QCOMPARE(code.variables, variables);
    QCOMPARE(static_cast<int>(rec.listing.size()), code.count - 1);
}

void TestParser::texts_data()
{
    QTest::addColumn<QByteArray>("program");
    QTest::addColumn<QList<QByteArray>>("texts");

    QTest::newRow("output ends with CR LF each time") << QByteArray("Ausgabe 1\nAusgabe 2")
        << QList<QByteArray>{"\r\n", "\r\n"};
    QTest::newRow("input: default prompt") << QByteArray("Eingabe Tipp") << QList<QByteArray>{"? ", "\r\n"};
    QTest::newRow("input: empty prompt becomes the default") << QByteArray("Eingabe \"\" Tipp") << QList<QByteArray>{"? ", "\r\n"};
    QTest::newRow("input: own prompt") << QByteArray("Eingabe \"Gr\xF6\xDF" "e:\" g") << QList<QByteArray>{"Gr\xF6\xDF" "e:", "\r\n"};
    QTest::newRow("output: slash inside a text") << QByteArray("Ausgabe \"km/h\" / Einheit") << QList<QByteArray>{"km/h", "\r\n"};
    QTest::newRow("graphic text stores one text") << QByteArray("Grafiktext (5; -9) \"Kreta '02\"") << QList<QByteArray>{"Kreta '02"};
}

void TestParser::texts()
{
    QFETCH(QByteArray, program);
    QFETCH(QList<QByteArray>, texts);
    FrontEndRecorder rec;
    QVERIFY(CompileProgram(Program(program)));
    QCOMPARE(TextCount(), int(texts.size()));
    for (int i = 0; i < texts.size(); ++i)
        QCOMPARE(QByteArray::fromStdString(GetText(i)), texts[i]);
}

void TestParser::listingOfWhileLoop()
{
    FrontEndRecorder rec;
    QVERIFY(CompileProgram(Program("x <= 1\nSolange x < 3\nAusgabe x\nx <= x + 1\nSolangeende")));
    const std::vector<std::string> expected = {
        "PC:0 PUSHC 1.0E+0000\r", "PC:1 POPC 0.0E+0000\r", "PC:2 PUSH 0.0E+0000\r",
        "PC:3 PUSHC 3.0E+0000\r", "PC:4 LESS\r", "PC5 BREQL 0.0E+0000\r", "PC:6 PUSH 0.0E+0000\r",
        "PC:7 WRREAL\r", "PC:8 PUSHC 0.0E+0000\r", "PC:9 WRTEXT\r", "PC:10 PUSH 0.0E+0000\r",
        "PC:11 PUSHC 1.0E+0000\r", "PC:12 ADD\r", "PC:13 POPC 0.0E+0000\r", "PC:14 BRANCH 2.0E+000\r"};
    QCOMPARE(rec.listing, expected);
}

void TestParser::errors_data()
{
    QTest::addColumn<QByteArray>("program");
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("column");

    const QByteArray incomplete("Das Programm ist nicht vollst\xE4ndig.");
    QTest::newRow("incomplete: Fallsende at the top") << QByteArray("Fallsende") << incomplete << 0 << 9;
    QTest::newRow("incomplete: number at a line start") << QByteArray("x <= 1\n5") << incomplete << 1 << 1;
    QTest::newRow("incomplete: assignment symbol first") << QByteArray("<= 1") << incomplete << 0 << 2;

    const QByteArray assign("Zuweisungssymbol <= erwartet oder unbekannte Anweisung");
    QTest::newRow("assign: misspelt keyword") << QByteArray("Ausgbe 5") << assign << 0 << 8;
    QTest::newRow("assign: name alone, caret at line end") << QByteArray("x <= 1\n\nAusgbe") << assign << 2 << 7;

    const QByteArray unexpected("Unerwartetes Zeichen oder Wort");
    QTest::newRow("unexpected: after an assignment") << QByteArray("x <= 1 2") << unexpected << 0 << 8;
    QTest::newRow("unexpected: output item starting with plus") << QByteArray("Ausgabe + 1") << unexpected << 0 << 9;
    QTest::newRow("unexpected: after L\xF6schen") << QByteArray("L\xF6schen 1") << unexpected << 0 << 9;
    QTest::newRow("unexpected: colour then statement") << QByteArray("Gr\xFCn Linie (0;0)(1;1)") << unexpected << 0 << 10;
    QTest::newRow("unexpected: after a rectangle") << QByteArray("Rechteck (0;0)(1;1) x") << unexpected << 0 << 21;
    QTest::newRow("unexpected: after Falls condition") << QByteArray("Falls 1 = 1 x") << unexpected << 0 << 13;
    QTest::newRow("unexpected short: after Solange condition") << QByteArray("Solange 1 < 2 x") << QByteArray("Unerwartetes Zeichen") << 0 << 15;
    QTest::newRow("unexpected short: after Ansonsten") << QByteArray("Falls 1 = 1\nAnsonsten 1") << QByteArray("Unerwartetes Zeichen") << 1 << 11;

    QTest::newRow("block end: Solange at the end of the program") << QByteArray("x <= 1\nSolange x < 3\nx <= x + 1")
        << QByteArray("SolangeEnde erwartet") << 3 << 1;
    QTest::newRow("block end: Fallsende closing a Solange") << QByteArray("Falls 1 = 1\n  Solange 1 = 1\n  Fallsende")
        << QByteArray("SolangeEnde erwartet") << 2 << 11;
    QTest::newRow("block end: Wiederhole without Bis") << QByteArray("Wiederhole\nAusgabe 1") << QByteArray("Bis erwartet") << 2 << 1;
    QTest::newRow("block end: Falls without Fallsende") << QByteArray("Falls 1 = 1\nAusgabe 1") << QByteArray("FallsEnde erwartet") << 2 << 1;
    QTest::newRow("block end: Bis inside the else part") << QByteArray("Falls 1 = 1\nAnsonsten\nBis") << QByteArray("FallsEnde erwartet") << 2 << 3;

    QTest::newRow("variable: input of a number") << QByteArray("Eingabe \"a\" 5") << QByteArray("Variable erwartet") << 0 << 13;
    QTest::newRow("variable: random input without target") << QByteArray("Zufallseingabe (1..6)") << QByteArray("Variable erwartet") << 0 << 22;
    QTest::newRow("parenthesis: random input") << QByteArray("Zufallseingabe 1..6 x") << QByteArray("( erwartet") << 0 << 16;
    QTest::newRow("parenthesis: point") << QByteArray("Punkt 1") << QByteArray("( erwartet") << 0 << 7;
    QTest::newRow("parenthesis: second pair of a line") << QByteArray("Linie (0;0) 1") << QByteArray("( erwartet") << 0 << 13;
    QTest::newRow("range: semicolon instead of dots") << QByteArray("Zufallseingabe (1;6) x") << QByteArray(".. erwartet") << 0 << 18;
    QTest::newRow("close: random input") << QByteArray("Zufallseingabe (1..6 x") << QByteArray(") erwartet") << 0 << 22;
    QTest::newRow("close: expression at line end") << QByteArray("a <= (1 + 2") << QByteArray(") erwartet") << 0 << 12;
    QTest::newRow("close: point") << QByteArray("Punkt (1; 2") << QByteArray(") erwartet") << 0 << 12;
    QTest::newRow("semicolon: point") << QByteArray("Punkt (1 2)") << QByteArray("; erwartet") << 0 << 10;
    QTest::newRow("semicolon: circle with two values") << QByteArray("Kreis (1; 2)") << QByteArray("; erwartet") << 0 << 12;
    QTest::newRow("quote: graphic text without text") << QByteArray("Grafiktext (1; 9) y") << QByteArray("\" erwartet") << 0 << 19;

    const QByteArray relation("=, <, >, # erwartet");
    QTest::newRow("relation: <= in a condition") << QByteArray("x <= 1\nFalls x <= 3") << relation << 1 << 10;
    QTest::newRow("relation: missing") << QByteArray("Falls 1 2") << relation << 0 << 9;
    QTest::newRow("relation: second comparison") << QByteArray("Solange 1 = 1 Und 2") << relation << 0 << 20;

    const QByteArray factor("Variable, Zahl oder ( erwartet");
    QTest::newRow("factor: Pause alone, caret at line end") << QByteArray("Pause") << factor << 0 << 6;
    QTest::newRow("factor: sign after an operator") << QByteArray("a <= 3 * -2") << factor << 0 << 10;
    QTest::newRow("factor: two signs") << QByteArray("a <= - -5") << factor << 0 << 8;
    QTest::newRow("factor: comment where a value belongs") << QByteArray("x <= / Kommentar") << factor << 0 << 6;

    const QByteArray unknown("unbekannte Variable");
    QTest::newRow("unknown: first use on its own right side") << QByteArray("x <= x + 1") << unknown << 0 << 6;
    QTest::newRow("unknown: assigned only further down") << QByteArray("Solange 1 = 1\nAusgabe a\na <= 1\nSolangeende") << unknown << 1 << 9;
    QTest::newRow("unknown: point coordinates") << QByteArray("Punkt (x; y)") << unknown << 0 << 8;

    QTest::newRow("scan error inside a statement") << QByteArray("a <= 2.5")
        << QByteArray("Hier sollte ein Komma stehen oder es fehlt der zweite Punkt.") << 0 << 7;
}

void TestParser::errors()
{
    QFETCH(QByteArray, program);
    QFETCH(QByteArray, message);
    QFETCH(int, line);
    QFETCH(int, column);
    FrontEndRecorder rec;
    QVERIFY(!CompileProgram(Program(program)));
    QVERIFY(!ParseOk());
    QCOMPARE(rec.errors.size(), size_t(1));   // only the first error
    QCOMPARE(QByteArray::fromStdString(rec.errors[0].message), message);
    QCOMPARE(rec.errors[0].line, line);
    QCOMPARE(rec.errors[0].column, column);
    QCOMPARE(ReadCompiledCode().count, 0);   // no finished program
}

void TestParser::examplePrograms_data()
{
    QTest::addColumn<QString>("file");
    for (const char* name : {"Grafikdesign", "Idealgewicht", "Koordinatensystem", "Memory"})
        QTest::newRow(name) << QString(TARKO_SOURCE_DIR "/resources/examples/%1.trk").arg(name);
}

void TestParser::examplePrograms()
{
    QFETCH(QString, file);
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    FrontEndRecorder rec;
    QVERIFY(CompileProgram(f.readAll().toStdString()));
    QVERIFY(rec.errors.empty());
    QVERIFY(ReadCompiledCode().count > 1);
}

void TestParser::limits_data()
{
    QTest::addColumn<QByteArray>("program");
    QTest::addColumn<QByteArray>("message");   // empty: compiles
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("column");

    // 4999 assignments of two instructions and one more make 9999, with HALT 10000.
    const std::string assignments = Repeat("a <= 1\r\n", 4999);
    QTest::newRow("length: 10000 instructions with HALT") << QByteArray::fromStdString(assignments + "L\xF6schen")
        << QByteArray() << 0 << 0;
    QTest::newRow("length: one more is refused") << QByteArray::fromStdString(assignments + "L\xF6schen\r\nL\xF6schen")
        << QByteArray("Das Programm ist zu lang.") << 5000 << 8;
    QTest::newRow("length: many outputs run out of room before texts do")
        << QByteArray::fromStdString(Repeat("Ausgabe\r\n", 6000)) << QByteArray("Das Programm ist zu lang.") << 4999 << 8;

    std::string variables;
    for (int i = 0; i < 1000; ++i)
        variables.append("v").append(std::to_string(i)).append(" <= 1\r\n");
    QTest::newRow("variables: 1000 fit") << QByteArray::fromStdString(variables + "v999 <= 2") << QByteArray() << 0 << 0;
    QTest::newRow("variables: the 1001st is refused") << QByteArray::fromStdString(variables + "Eingabe v1000")
        << QByteArray("Zu viele Variablen.") << 1000 << 13;

    const QByteArray deep("Zu tief verschachtelt.");
    QTest::newRow("nesting: 1000 Solange blocks") << QByteArray::fromStdString(
        Repeat("Solange 1 = 1\r\n", 1000) + Repeat("Solangeende\r\n", 1000)) << QByteArray() << 0 << 0;
    QTest::newRow("nesting: 1001 Solange blocks") << QByteArray::fromStdString(
        Repeat("Solange 1 = 1\r\n", 1001) + Repeat("Solangeende\r\n", 1001)) << deep << 1000 << 7;
    QTest::newRow("nesting: 1001 Falls blocks") << QByteArray::fromStdString(Repeat("Falls 1 = 1\r\n", 1001)) << deep << 1000 << 5;
    QTest::newRow("nesting: 1001 Wiederhole on one line") << QByteArray::fromStdString(Repeat("Wiederhole ", 1001)) << deep << 0 << 11010;
    QTest::newRow("nesting: 1000 parentheses") << QByteArray::fromStdString(
        "a <= " + std::string(1000, '(') + "1" + std::string(1000, ')')) << QByteArray() << 0 << 0;
    QTest::newRow("nesting: 1001 parentheses") << QByteArray::fromStdString(
        "a <= " + std::string(1001, '(') + "1" + std::string(1001, ')')) << deep << 0 << 1006;
    QTest::newRow("nesting: parentheses in every block") << QByteArray::fromStdString(
        Repeat("Falls ((((1)))) = 1\r\n", 1000) + Repeat("Fallsende\r\n", 1000)) << QByteArray() << 0 << 0;
}

void TestParser::limits()
{
    QFETCH(QByteArray, program);
    QFETCH(QByteArray, message);
    QFETCH(int, line);
    QFETCH(int, column);
    FrontEndRecorder rec;
    const bool ok = CompileProgram(program.toStdString());
    QVERIFY(rec.internalErrors.empty());
    if (message.isEmpty()) {
        QVERIFY(ok);
        QVERIFY(ReadCompiledCode().count <= maxInstructions);
        return;
    }
    QVERIFY(!ok);
    QCOMPARE(rec.errors.size(), size_t(1));
    QCOMPARE(QByteArray::fromStdString(rec.errors[0].message), message);
    QCOMPARE(rec.errors[0].line, line);
    QCOMPARE(rec.errors[0].column, column);
}

void TestParser::hostileInputNeverCrashes()
{
    FrontEndRecorder rec;
    // Five megabytes of comments compile to a lone HALT.
    QVERIFY(CompileProgram(Repeat("/ Kommentar, der nichts tut, aber Platz braucht......\r\n", 90000)));
    QCOMPARE(ReadCompiledCode().count, 1);
    // Five megabytes of statements stop at the length limit.
    QVERIFY(!CompileProgram(Repeat("x <= 1 + 2\r\n", 450000)));
    QCOMPARE(rec.errors.back().message, std::string("Das Programm ist zu lang."));
    // Deep parentheses and blocks stop at the nesting limit.
    QVERIFY(!CompileProgram("a <= " + std::string(200000, '(')));
    QVERIFY(!CompileProgram(Repeat("Wiederhole\r\n", 200000)));
    QCOMPARE(rec.errors.back().message, std::string("Zu tief verschachtelt."));
    // Binary data: every outcome is one reported error or a finished program.
    uint32_t state = 12345;
    for (int round = 0; round < 200; ++round) {
        std::string bytes(static_cast<size_t>(round * 37 % 2000), '\0');
        for (char& c : bytes) {
            state = state * 1103515245u + 12345u;
            c = static_cast<char>(state >> 23);
        }
        const size_t before = rec.errors.size();
        const bool ok = CompileProgram(bytes);
        QCOMPARE(rec.errors.size(), before + (ok ? 0 : 1));
    }
    QVERIFY(rec.internalErrors.empty());
}

void TestParser::compilationStartsAfresh()
{
    FrontEndRecorder rec;
    QVERIFY(CompileProgram(Program("a <= 1\nb <= 2\nAusgabe \"x\"")));
    QVERIFY(!CompileProgram(Program("c <= 1\nAusgabe \"y\" b")));   // b is gone
    QCOMPARE(rec.errors.back().message, std::string("unbekannte Variable"));
    QVERIFY(CompileProgram(Program("c <= 1\nAusgabe \"y\" c")));
    const auto code = ReadCompiledCode();
    QCOMPARE(code.variables, 1);
    QCOMPARE(QByteArray::fromStdString(code.body),
             QByteArray("PUSHC 1, POPC 0, PUSHC 0, WRTEXT, PUSH 0, WRREAL, PUSHC 1, WRTEXT"));
    QCOMPARE(GetText(0), std::string("y"));
}

QTEST_APPLESS_MAIN(TestParser)
#include "tst_parser.moc"

// The program line recorded for every instruction, in instruction order.
void TestParser::sourceLines_data()
{
    QTest::addColumn<QByteArray>("program");
    QTest::addColumn<QList<int>>("lines");

    QTest::newRow("each simple statement on its own line") << QByteArray("x <= 5\nAusgabe x")
        << QList<int>{0, 0, 1, 1, 1, 1};
    QTest::newRow("comments and empty lines count as lines") << QByteArray("/ Anfang\n\nx <= 1\n\n  / noch einer\nRot")
        << QList<int>{2, 2, 5, 5};
    QTest::newRow("Solange: condition on its line, back-jump on Solangeende")
        << QByteArray("x <= 1\nSolange x < 3\nAusgabe x\nx <= x + 1\nSolangeende")
        << QList<int>{0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4};
    QTest::newRow("Wiederhole: condition and both jumps on the Bis line")
        << QByteArray("i <= 0\nWiederhole\ni <= i + 1\nBis i = 3")
        << QList<int>{0, 0, 2, 2, 2, 2, 3, 3, 3, 3, 3};
    QTest::newRow("Wiederhole with a statement on its line")
        << QByteArray("Wiederhole Ausgabe 1\nBis 1 = 1") << QList<int>{0, 0, 0, 0, 1, 1, 1, 1, 1};
    QTest::newRow("Falls: the jump over Ansonsten belongs to Ansonsten")
        << QByteArray("x <= 2\nFalls x = 1\nAusgabe 1\nAnsonsten\nAusgabe 2\nFallsende")
        << QList<int>{0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 4, 4, 4, 4};
    QTest::newRow("Falls without Ansonsten: the jump belongs to Fallsende")
        << QByteArray("Falls 1 = 1\nAusgabe 1\nFallsende") << QList<int>{0, 0, 0, 0, 1, 1, 1, 1, 2};
    QTest::newRow("an inner block's end does not take the outer jumps")
        << QByteArray("Solange 1 = 1\n  Falls 2 = 2\n    Wiederhole\n    Bis 1 = 1\n  Fallsende\nSolangeende")
        << QList<int>{0, 0, 0, 0, 1, 1, 1, 1, 3, 3, 3, 3, 3, 4, 5};
    QTest::newRow("graphics statements") << QByteArray("Linie (0; 0) (1; 1)\nKreis (0; 0; 1)")
        << QList<int>{0, 0, 0, 0, 0, 1, 1, 1, 1};
}

void TestParser::sourceLines()
{
    QFETCH(QByteArray, program);
    QFETCH(QList<int>, lines);
    FrontEndRecorder rec;
    QVERIFY(CompileProgram(Program(program)));
    QCOMPARE(CodePC(), int(lines.size()));
    QList<int> recorded;
    for (int i = 0; i < CodePC(); ++i)
        recorded.append(CodeLine(i));
    QCOMPARE(recorded, lines);
    QCOMPARE(CodeLine(CodePC()), -1);   // the final HALT has no line
    QCOMPARE(CodeLine(-1), -1);
}

// A new compilation forgets the lines of the last one, also when it fails.
void TestParser::sourceLinesStartAfresh()
{
    FrontEndRecorder rec;
    QVERIFY(CompileProgram(Program("\n\n\nx <= 1\nAusgabe x")));
    QCOMPARE(CodeLine(0), 3);
    QVERIFY(CompileProgram(Program("Ausgabe 1")));
    QCOMPARE(CodeLine(0), 0);
    QCOMPARE(CodeLine(4), -1);
    QVERIFY(!CompileProgram(Program("x <= 1\nAusgabe y")));
    QCOMPARE(CodeLine(1), 0);
    QCOMPARE(CodeLine(2), -1);
}
