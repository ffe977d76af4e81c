// tarko-run as a user calls it: exit codes, where each message goes, and the
// conversion of Windows-1252 program text to UTF-8 output with LF line ends.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "language/ReadProgram.h"

class TestCli : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void modes_data();
    void modes();
    void usageErrors_data();
    void usageErrors();
    void helpListsEveryOption();
    void examplesCheckAndList_data();
    void examplesCheckAndList();
    void runModeWithoutInterpreter();
    void checkSeveralFiles();
    void expectComparesEveryProgram();
    void expectAsJson();
    void taskFromModelSolution();
    void refusesWhatIsNoProgram_data();
    void refusesWhatIsNoProgram();
    void largestAllowedFileIsRead();
    void severalFilesNeverBlock();
    void severalFilesSayWhy();
    void teacherFilesAreCheckedFirst_data();
    void teacherFilesAreCheckedFirst();
    void fileNamesStayReadable();

private:
    struct Result {
        int exitCode = -1;
        QByteArray out;
        QByteArray err;
    };
    Result Run(const QStringList& args);
    QTemporaryDir dir;
    QString program;   // path of the program file the rows write
};

TestCli::Result TestCli::Run(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral(TARKO_RUN_PATH), args);
    if (!p.waitForFinished(30000)) {
        p.kill();
        p.waitForFinished();
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError()};
}

void TestCli::initTestCase()
{
    QVERIFY(dir.isValid());
    program = dir.filePath("programm.trk");
}

void TestCli::modes_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QByteArray>("text");   // Windows-1252, written as the program file
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("err");    // %F stands for the file name

    QTest::newRow("check ok: silent") << "--check" << QByteArray("x <= 1\r\nAusgabe x\r\n") << 0 << QByteArray() << QByteArray();
    QTest::newRow("check ok: empty file") << "--check" << QByteArray() << 0 << QByteArray() << QByteArray();
    QTest::newRow("check ok: LF line ends") << "--check" << QByteArray("x <= 1\nAusgabe x / km/h\n") << 0 << QByteArray() << QByteArray();
    QTest::newRow("check error: line and column")
        << "--check" << QByteArray("x <= 1\r\nAusgbe 5") << 1 << QByteArray()
        << QByteArray("%F:2:8: Zuweisungssymbol <= erwartet oder unbekannte Anweisung\n");
    QTest::newRow("check error: umlaut message in UTF-8")
        << "--check" << QByteArray("Fallsende") << 1 << QByteArray()
        << QByteArray("%F:1:9: Das Programm ist nicht vollst\xC3\xA4ndig.\n");
    QTest::newRow("check error: LF line ends count lines") << "--check" << QByteArray("x <= 1\nAusgbe") << 1
        << QByteArray() << QByteArray("%F:2:7: Zuweisungssymbol <= erwartet oder unbekannte Anweisung\n");
    QTest::newRow("check error: lone CR line ends count lines") << "--check" << QByteArray("x <= 1\rAusgbe") << 1
        << QByteArray() << QByteArray("%F:2:7: Zuweisungssymbol <= erwartet oder unbekannte Anweisung\n");
    QTest::newRow("check error: binary data") << "--check" << QByteArray("\x01\x02\x00\xFF", 4) << 1
        << QByteArray() << QByteArray("%F:1:1: Dieses Zeichen ist nicht bekannt. (S2)\n");

    QTest::newRow("listing ok: one line per instruction")
        << "--listing" << QByteArray("x <= 5\r\nAusgabe x") << 0
        << QByteArray("PC:0 PUSHC 5.0E+0000\nPC:1 POPC 0.0E+0000\nPC:2 PUSH 0.0E+0000\nPC:3 WRREAL\n"
                      "PC:4 PUSHC 0.0E+0000\nPC:5 WRTEXT\n") << QByteArray();
    QTest::newRow("listing ok: placeholder and cut operand")
        << "--listing" << QByteArray("Wiederhole\r\nBis 1 = 1") << 0
        << QByteArray("PC:0 PUSHC 1.0E+0000\nPC:1 PUSHC 1.0E+0000\nPC:2 EQUAL\nPC3 BRNEQL 0.0E+000\nPC:4 BRANCH 0.0E+000\n")
        << QByteArray();
    QTest::newRow("listing ok: umlaut opcode in UTF-8") << "--listing" << QByteArray("l\xF6schen") << 0
        << QByteArray("PC:0 L\xC3\x96SCHEN\n") << QByteArray();
    QTest::newRow("listing error: lines so far, then the error")
        << "--listing" << QByteArray("Solange 1 = 1\r\nAusgabe") << 1
        << QByteArray("PC:0 PUSHC 1.0E+0000\nPC:1 PUSHC 1.0E+0000\nPC:2 EQUAL\nPC3 BREQL 0.0E+0000\n"
                      "PC:4 PUSHC 0.0E+0000\nPC:5 WRTEXT\n")
        << QByteArray("%F:2:7: SolangeEnde erwartet\n");
    // An error noticed after the last line is named where the workbench puts
    // the caret for it: the end of the last line (an empty last line is none).
    QTest::newRow("check error: a block left open names the last line")
        << "--check" << QByteArray("x <= 1\r\nSolange x < 3\r\n  Ausgabe x\r\n  x <= x + 1\r\n") << 1 << QByteArray()
        << QByteArray("%F:4:12: SolangeEnde erwartet\n");
    QTest::newRow("check error: a block left open before empty lines")
        << "--check" << QByteArray("Solange 1 = 1\r\n  Ausgabe 1\r\n\r\n\r\n") << 1 << QByteArray()
        << QByteArray("%F:4:1: SolangeEnde erwartet\n");

    QTest::newRow("tokens ok: unchanged text, UTF-8")
        << "--tokens" << QByteArray("Eingabe \"Gr\xF6\xDF" "e\" g") << 0
        << QByteArray("EINGABE_Sym\nTexte:Gr\xC3\xB6\xC3\x9F" "e\nBezeichner:G\nEOT_Sym\n") << QByteArray();
    QTest::newRow("tokens ok: keyword with umlaut, numbers")
        << "--tokens" << QByteArray("l\xF6schen 0,5\r\n") << 0
        << QByteArray("L\xC3\x96SCHEN_Sym\nZahl:0,5\nEOL_Sym\nEOT_Sym\n") << QByteArray();
    QTest::newRow("tokens error: stops at the scan error")
        << "--tokens" << QByteArray("x <= 2.5") << 1 << QByteArray("Bezeichner:X\nZuweisung_Sym\nZahl:2\n")
        << QByteArray("%F:1:7: Hier sollte ein Komma stehen oder es fehlt der zweite Punkt.\n");
}

void TestCli::modes()
{
    QFETCH(QString, mode);
    QFETCH(QByteArray, text);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, err);
    QFile f(program);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
    f.close();
    const Result r = Run({mode, program});
    QCOMPARE(r.out, out);
    QCOMPARE(r.err, err.replace("%F", program.toUtf8()));
    QCOMPARE(r.exitCode, exitCode);
}

void TestCli::usageErrors_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("err");
    const QByteArray help("\nHilfe: tarko-run --help\n");
    QTest::newRow("no file") << QStringList{"--check"} << "tarko-run: keine Programmdatei angegeben" + help;
    QTest::newRow("two files") << QStringList{"a.trk", "b.trk"} << "tarko-run: nur eine Programmdatei ist erlaubt" + help;
    QTest::newRow("unknown option") << QStringList{"--schnell", "a.trk"} << "tarko-run: unbekannte Option --schnell" + help;
    QTest::newRow("two modes") << QStringList{"--check", "--tokens", "a.trk"}
        << "tarko-run: nur eine der Optionen --check, --listing, --tokens ist erlaubt" + help;
    QTest::newRow("run option with a checking mode") << QStringList{"--check", "--seed", "1", "a.trk"}
        << "tarko-run: --seed, --no-pause, --steps und --png gelten nur beim Ausf\xC3\xBChren" + help;
    QTest::newRow("seed not a number") << QStringList{"--seed", "x1", "a.trk"}
        << "tarko-run: --seed erwartet eine ganze Zahl, nicht \"x1\"" + help;
    QTest::newRow("png without name") << QStringList{"a.trk", "--png"} << "tarko-run: --png erwartet einen Dateinamen" + help;
    QTest::newRow("input without expect") << QStringList{"--input", "ein.txt", "a.trk"}
        << "tarko-run: --input und --expect geh\xC3\xB6ren zusammen" + help;
    QTest::newRow("expect with a checking mode") << QStringList{"--check", "--input", "e", "--expect", "a", "a.trk"}
        << "tarko-run: --expect ist nicht mit --check, --listing oder --tokens m\xC3\xB6glich" + help;
    QTest::newRow("steps with expect") << QStringList{"--steps", "--input", "e", "--expect", "a", "a.trk"}
        << "tarko-run: --steps und --png gelten nicht mit --expect" + help;
    QTest::newRow("json when running one program") << QStringList{"--json", "a.trk"}
        << "tarko-run: --json gilt nur mit --check oder --expect" + help;
    QTest::newRow("two files to list") << QStringList{"--listing", "a.trk", "b.trk"}
        << "tarko-run: nur eine Programmdatei ist erlaubt" + help;
    QTest::newRow("time limit not a number") << QStringList{"--input", "e", "--expect", "a", "--time-limit", "bald", "a.trk"}
        << "tarko-run: --time-limit erwartet eine Anzahl Sekunden gr\xC3\xB6\xC3\x9F" "er als 0" + help;
    QTest::newRow("time limit too large: the range is named")
        << QStringList{"--input", "e", "--expect", "a", "--time-limit", "1e9", "a.trk"}
        << "tarko-run: --time-limit erwartet eine Anzahl Sekunden von mehr als 0 bis 1000000" + help;
    QTest::newRow("missing file") << QStringList{"--check", "/nicht/vorhanden.trk"}
        << QByteArray("tarko-run: Datei /nicht/vorhanden.trk kann nicht ge\xC3\xB6" "ffnet werden\n");
    QTest::newRow("directory instead of a file") << QStringList{"--tokens", "/"}
        << QByteArray("tarko-run: Datei / kann nicht ge\xC3\xB6" "ffnet werden\n");
}

void TestCli::usageErrors()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, err);
    const Result r = Run(args);
    QCOMPARE(r.err, err);
    QCOMPARE(r.out, QByteArray());
    QCOMPARE(r.exitCode, 2);
}

void TestCli::helpListsEveryOption()
{
    const Result r = Run({"--help"});
    QCOMPARE(r.exitCode, 0);
    QVERIFY(r.err.isEmpty());
    for (const char* option : {"tarko-run [--seed N] [--no-pause] [--steps] [--png AUSGABE.png] DATEI",
                               "--check DATEI", "--listing DATEI", "--tokens DATEI", "--help",
                               "--check [--json] DATEI...",
                               "--input EIN --expect AUS [--json] [--seed N] [--time-limit S] DATEI..."})
        QVERIFY2(r.out.contains(option), option);
}

void TestCli::examplesCheckAndList_data()
{
    QTest::addColumn<QString>("file");
    for (const char* name : {"Grafikdesign", "Idealgewicht", "Koordinatensystem", "Memory"})
        QTest::newRow(name) << QString(TARKO_SOURCE_DIR "/resources/examples/%1.trk").arg(name);
}

void TestCli::examplesCheckAndList()
{
    QFETCH(QString, file);
    const Result check = Run({"--check", file});
    QCOMPARE(check.exitCode, 0);
    QVERIFY(check.out.isEmpty() && check.err.isEmpty());

    const Result listing = Run({"--listing", file});
    QCOMPARE(listing.exitCode, 0);
    QVERIFY(!listing.out.contains('\r'));
    const QList<QByteArray> lines = listing.out.split('\n');
    QCOMPARE(lines.last(), QByteArray());   // every line ends with LF
    const QRegularExpression form("^PC:?(\\d+) \\S+( ?-?\\d\\.\\dE[+-]\\d{3,4})?$");
    for (int i = 0; i + 1 < lines.size(); ++i) {
        const auto m = form.match(QString::fromUtf8(lines[i]));
        QVERIFY2(m.hasMatch(), lines[i].constData());
        QCOMPARE(m.captured(1).toInt(), i);
    }

    const Result tokens = Run({"--tokens", file});
    QCOMPARE(tokens.exitCode, 0);
    QVERIFY(tokens.out.endsWith("EOT_Sym\n"));
}

void TestCli::runModeWithoutInterpreter()
{
#ifdef TARKO_HAVE_RUNMODE
    QSKIP("the run mode is built in");
#else
    QFile f(program);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write("Ausgabe 1\r\n");
    f.close();
    const Result r = Run({program});
    QCOMPARE(r.err, QByteArray("tarko-run: Ausf\xC3\xBChren ist noch nicht verf\xC3\xBCgbar\n"));
    QCOMPARE(r.exitCode, 2);
#endif
}

namespace {

QString WriteFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    f.write(bytes);
    return path;
}

} // namespace

// Every file is checked and every error reported, in the order given.
void TestCli::checkSeveralFiles()
{
    const QString good = WriteFile(dir, "gut.trk", "x <= 1\r\nAusgabe x\r\n");
    const QString bad1 = WriteFile(dir, "fehler1.trk", "x <= 1\r\nAusgbe 5");
    const QString bad2 = WriteFile(dir, "fehler2.trk", "Fallsende");
    const QString missing = dir.filePath("fehlt.trk");

    const Result allGood = Run({"--check", good, good});
    QCOMPARE(allGood.exitCode, 0);
    QCOMPARE(allGood.out + allGood.err, QByteArray());

    const Result r = Run({"--check", bad1, good, bad2});
    QCOMPARE(r.exitCode, 1);
    QCOMPARE(r.out, QByteArray());
    QCOMPARE(r.err, (bad1 + ":2:8: Zuweisungssymbol <= erwartet oder unbekannte Anweisung\n" + bad2 +
                     ":1:9: Das Programm ist nicht vollst\u00E4ndig.\n").toUtf8());

    const Result withMissing = Run({"--check", bad1, missing, good});
    QCOMPARE(withMissing.exitCode, 2);   // a file that cannot be read outranks a compile error
    QVERIFY(withMissing.err.contains(("tarko-run: Datei " + missing + " kann nicht ge\u00F6ffnet werden\n").toUtf8()));
    QVERIFY(withMissing.err.startsWith(bad1.toUtf8() + ":2:8:"));

    const Result json = Run({"--check", "--json", good, bad1, missing});
    QCOMPARE(json.exitCode, 2);
    QCOMPARE(json.err, QByteArray());
    QJsonParseError error;
    const QJsonArray results = QJsonDocument::fromJson(json.out, &error).array();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(results.size(), 3);
    QCOMPARE(results[0].toObject(), (QJsonObject{{"file", good}, {"status", "ok"}}));
    QCOMPARE(results[1].toObject(),
             (QJsonObject{{"file", bad1}, {"status", "compile-error"}, {"line", 2}, {"column", 8},
                          {"message", "Zuweisungssymbol <= erwartet oder unbekannte Anweisung"}}));
    QCOMPARE(results[2].toObject(), (QJsonObject{{"file", missing}, {"status", "unreadable"},
                                                 {"message", "Datei kann nicht ge\u00F6ffnet werden"}}));
}

// One line per program: ok, the first differing output line, or why it ended.
void TestCli::expectComparesEveryProgram()
{
#ifndef TARKO_HAVE_RUNMODE
    QSKIP("the run mode is not built in");
#endif
    const QString in = WriteFile(dir, "ein.txt", "3\n4\n");
    const QString out = WriteFile(dir, "aus.txt", "Zwei Zahlen\r\n? 3\r\n? 4\r\nSumme: 7 \r\n");
    const QByteArray head = "Ausgabe \"Zwei Zahlen\"\r\nEingabe a\r\nEingabe b\r\n";
    const QStringList files = {
        WriteFile(dir, "richtig.trk", head + "Ausgabe \"Summe: \" a + b"),
        WriteFile(dir, "falsch.trk", head + "Ausgabe \"Summe: \" a - b"),
        WriteFile(dir, "zu-lang.trk", head + "Ausgabe \"Summe: \" a + b\r\nAusgabe \"Ende\""),
        WriteFile(dir, "teilt.trk", head + "Ausgabe \"Summe: \" a + b\r\nAusgabe a : 0"),
        WriteFile(dir, "fragt.trk", head + "Eingabe c\r\nAusgabe \"Summe: \" a + b"),
        WriteFile(dir, "kaputt.trk", head + "Ausgabe \"Summe: \" a + c"),
        WriteFile(dir, "endlos.trk", "Wiederhole\r\nBis 1 = 2"),
        WriteFile(dir, "wartet.trk", "Ausgabe \"Zwei Zahlen\"\r\nPause 60\r\nEingabe a\r\nEingabe b\r\n"
                                     "Ausgabe \"Summe: \" a + b"),
        dir.filePath("fehlt.trk"),
    };
    const Result r = Run(QStringList{"--input", in, "--expect", out, "--time-limit", "0,5"} + files);
    const QStringList lines = QString::fromUtf8(r.out).split('\n');
    QCOMPARE(lines.size(), files.size() + 1);
    QCOMPARE(lines[0], files[0] + ": ok");
    QCOMPARE(lines[1], files[1] + ": Ausgabezeile 4: erwartet \"Summe: 7 \", erhalten \"Summe: -1 \"");
    QCOMPARE(lines[2], files[2] + ": Ausgabezeile 5: erwartet nichts (Ausgabe zu Ende), erhalten \"Ende\"");
    QCOMPARE(lines[3], files[3] + ": Gleitkommadivision durch Null in Zeile 5");
    QCOMPARE(lines[4], files[4] + ": Eingabe zu Ende in Zeile 4");
    QCOMPARE(lines[5], files[5] + ": \u00FCbersetzt nicht, Zeile 4, Spalte 23: unbekannte Variable");
    QCOMPARE(lines[6], files[6] + ": Zeitlimit \u00FCberschritten in Zeile 2");
    QCOMPARE(lines[7], files[7] + ": ok");   // Pause does not wait
    QCOMPARE(lines[8], files[8] + ": Datei kann nicht ge\u00F6ffnet werden");
    QCOMPARE(r.exitCode, 2);
    QCOMPARE(r.err, QByteArray());

    const Result oneWrong = Run({"--input", in, "--expect", out, files[0], files[1], files[7]});
    QCOMPARE(oneWrong.exitCode, 1);
    const Result allRight = Run({"--input", in, "--expect", out, files[0], files[7]});
    QCOMPARE(allRight.exitCode, 0);
    QCOMPARE(allRight.out, (files[0] + ": ok\n" + files[7] + ": ok\n").toUtf8());

    // an expected transcript saved as Windows-1252 compares as the same text
    const QString umlauts = WriteFile(dir, "umlaute.trk", "Ausgabe \"Gr\xF6\xDF" "e\"");
    const QString cp1252 = WriteFile(dir, "aus1252.txt", "Gr\xF6\xDF" "e\r\n");
    const QString utf8 = WriteFile(dir, "aus-utf8.txt", "Gr\xC3\xB6\xC3\x9F" "e\n");
    QCOMPARE(Run({"--input", in, "--expect", cp1252, umlauts}).out, (umlauts + ": ok\n").toUtf8());
    QCOMPARE(Run({"--input", in, "--expect", utf8, umlauts}).out, (umlauts + ": ok\n").toUtf8());
}

// A teacher's task made from a model solution, then a class checked against
// it: a hard-coded answer passes the visible test and fails the hidden one,
// and a visible test reports what --expect reports for the same transcript.
void TestCli::taskFromModelSolution()
{
#ifndef TARKO_HAVE_RUNMODE
    QSKIP("the run mode is not built in");
#endif
    const QByteArray ask = "Eingabe \"Zahl? \" x\r\n";
    const QString model = WriteFile(dir, "muster.trk", ask + "Ausgabe \"Doppelt: \" x * 2\r\nPause 30");
    const QString text = WriteFile(dir, "aufgabe.txt", "Verdopple eine Zahl.\r\nGib sie aus.\r\n");
    const QString in1 = WriteFile(dir, "t1.txt", "4\n"), in2 = WriteFile(dir, "t2.txt", " 2,5 \r\n");
    const QString secret = WriteFile(dir, "geheim.txt", "21\n");
    const QString task = dir.filePath("verdoppeln.tarko-aufgabe");
    const Result made = Run({"--task-create", model, "--title", "Verdoppeln", "--text", text, "--case", in1,
                             "--hidden", secret, "--case", in2, "-o", task});
    QCOMPARE(made.err, QByteArray());
    QCOMPARE(made.exitCode, 0);
    QFile file(task);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray written = file.readAll();
    QVERIFY(written.startsWith("Tarko-Aufgabe 1\nTitel: Verdoppeln\nAufgabentext:\n| Verdopple eine Zahl.\n| Gib sie aus.\n"));
    QVERIFY(written.contains("Test\nEingabe:\n| 4\nAusgabe:\n| Zahl? 4\n| Doppelt: 8 \n"));
    QVERIFY(!written.contains("Doppelt: 42"));   // the hidden transcript is only hashed

    const QStringList pupils = {
        model,
        WriteFile(dir, "falsch.trk", ask + "Ausgabe \"Doppelt: \" x + 2"),
        WriteFile(dir, "geraten.trk", "Eingabe \"Zahl? \" x\r\nFalls x = 4\r\nAusgabe \"Doppelt: 8 \"\r\nAnsonsten\r\n"
                                      "Ausgabe \"Doppelt: 5 \"\r\nFallsende"),
        WriteFile(dir, "fragt.trk", ask + "Eingabe y\r\nAusgabe x * 2"),
        WriteFile(dir, "endlos.trk", ask + "Wiederhole\r\nBis x = 0"),
        WriteFile(dir, "kaputt.trk", ask + "Ausgabe y"),
    };
    const Result r = Run(QStringList{"--task", task, "--time-limit", "0,5"} + pupils);
    QCOMPARE(r.err, QByteArray());
    QCOMPARE(r.exitCode, 1);
    const QStringList want = {
        pupils[0] + ": \u2713 Test 1", pupils[0] + ": \u2713 versteckter Test 2", pupils[0] + ": \u2713 Test 3",
        pupils[1] + ": \u2717 Test 1: Ausgabezeile 2: erwartet \"Doppelt: 8 \", erhalten \"Doppelt: 6 \"",
        pupils[1] + ": \u2717 versteckter Test 2 stimmt nicht",
        pupils[1] + ": \u2717 Test 3: Ausgabezeile 2: erwartet \"Doppelt: 5 \", erhalten \"Doppelt: 4,5 \"",
        pupils[2] + ": \u2713 Test 1", pupils[2] + ": \u2717 versteckter Test 2 stimmt nicht", pupils[2] + ": \u2713 Test 3",
        pupils[3] + ": \u2717 Test 1: Eingabe zu Ende in Zeile 2: das Programm will mehr Zahlen, als der Test eingibt",
        pupils[3] + ": \u2717 versteckter Test 2: Eingabe zu Ende in Zeile 2: das Programm will mehr Zahlen, als der Test eingibt",
        pupils[3] + ": \u2717 Test 3: Eingabe zu Ende in Zeile 2: das Programm will mehr Zahlen, als der Test eingibt",
        pupils[4] + ": \u2717 Test 1: Zeitlimit \u00FCberschritten in Zeile 3: das Programm wird nicht rechtzeitig fertig",
        pupils[4] + ": \u2717 versteckter Test 2: Zeitlimit \u00FCberschritten in Zeile 3: das Programm wird nicht rechtzeitig fertig",
        pupils[4] + ": \u2717 Test 3: Zeitlimit \u00FCberschritten in Zeile 3: das Programm wird nicht rechtzeitig fertig",
        pupils[5] + ": \u00FCbersetzt nicht, Zeile 2, Spalte 9: unbekannte Variable",
    };
    QCOMPARE(QString::fromUtf8(r.out).split('\n', Qt::SkipEmptyParts), want);

    // The same comparison as --expect, on the model's transcript of test 1.
    const QString expected = WriteFile(dir, "t1-aus.txt", "Zahl? 4\nDoppelt: 8 \n");
    const Result expect = Run({"--input", in1, "--expect", expected, pupils[1]});
    QCOMPARE(QString::fromUtf8(expect.out),
             pupils[1] + ": Ausgabezeile 2: erwartet \"Doppelt: 8 \", erhalten \"Doppelt: 6 \"\n");

    const Result json = Run({"--json", "--task", task, pupils[2], pupils[5]});
    const QJsonArray results = QJsonDocument::fromJson(json.out).array();
    QCOMPARE(results.size(), 2);
    QCOMPARE(results[0].toObject()["status"], "failed");
    const QJsonArray cases = results[0].toObject()["cases"].toArray();
    QCOMPARE(cases.size(), 3);
    QCOMPARE(cases[1].toObject(), (QJsonObject{{"case", 2}, {"hidden", true}, {"status", "differs"},
                                               {"text", "\u2717 versteckter Test 2 stimmt nicht"}}));
    QCOMPARE(results[1].toObject()["status"], "compile-error");

    // A model that fails its own input makes no task.
    const Result failing = Run({"--task-create", pupils[3], "--title", "T", "--text", text, "--case", in1, "-o",
                                dir.filePath("nie.tarko-aufgabe")});
    QCOMPARE(failing.exitCode, 1);
    QVERIFY(failing.err.startsWith("tarko-run: die Musterl\xC3\xB6sung besteht "));
    QVERIFY(!QFile::exists(dir.filePath("nie.tarko-aufgabe")));
}

void TestCli::expectAsJson()
{
#ifndef TARKO_HAVE_RUNMODE
    QSKIP("the run mode is not built in");
#endif
    const QString in = WriteFile(dir, "leer.txt", "");
    const QString out = WriteFile(dir, "erwartet.txt", "Gr\xC3\xB6\xC3\x9F" "e\n\"1\"\n");
    const QString wrong = WriteFile(dir, "json1.trk", "Ausgabe \"Gr\xF6\xDF" "e\"\r\nAusgabe \"Gr\xFC\xDF" "e\"");
    const QString shorter = WriteFile(dir, "json2.trk", "Ausgabe \"Gr\xF6\xDF" "e\"");
    const QString broken = WriteFile(dir, "json3.trk", "Ausgabe y");
    const Result r = Run({"--json", "--input", in, "--expect", out, wrong, shorter, broken});
    QCOMPARE(r.exitCode, 1);
    QCOMPARE(r.err, QByteArray());
    QJsonParseError error;
    const QJsonArray results = QJsonDocument::fromJson(r.out, &error).array();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(results.size(), 3);
    QCOMPARE(results[0].toObject(), (QJsonObject{{"file", wrong}, {"status", "differs"}, {"output_line", 2},
                                                 {"expected", "\"1\""}, {"actual", "Gr\u00FC\u00DFe"}}));
    QCOMPARE(results[1].toObject(), (QJsonObject{{"file", shorter}, {"status", "differs"}, {"output_line", 2},
                                                 {"expected", "\"1\""}, {"actual", QJsonValue::Null}}));
    QCOMPARE(results[2].toObject(), (QJsonObject{{"file", broken}, {"status", "compile-error"}, {"line", 1},
                                                 {"column", 9}, {"message", "unbekannte Variable"}}));
}

void TestCli::refusesWhatIsNoProgram_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("mode");  // empty: run
    QTest::addColumn<QByteArray>("reason");
    const QByteArray special(": Sie ist keine gew\xC3\xB6hnliche Datei.");
    const QByteArray large(": Sie ist gr\xC3\xB6\xC3\x9F" "er als 4 MB. So gro\xC3\x9F" "e Programme kann Tarko nicht laden.");
    QTest::newRow("FIFO named x.trk, --check") << "fifo" << "--check" << special;
    QTest::newRow("FIFO named x.trk, run") << "fifo" << "" << special;
    QTest::newRow("link to /dev/zero, --check") << "zero" << "--check" << special;
    QTest::newRow("link to /dev/zero, --tokens") << "zero" << "--tokens" << special;
    QTest::newRow("one byte over the limit, --listing") << "oversize" << "--listing" << large;
    QTest::newRow("one byte over the limit, run") << "oversize" << "" << large;
}

void TestCli::refusesWhatIsNoProgram()
{
    QFETCH(QString, kind);
    QFETCH(QString, mode);
    QFETCH(QByteArray, reason);
    const QString path = dir.filePath("x.trk");
    QFile::remove(path);
    if (kind == u"fifo") {
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else if (kind == u"zero") {
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));
    } else {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QVERIFY(f.resize(tarko::MaxProgramFileSize + 1));
    }
    // A reader stuck in the FIFO or in the endless device is killed after
    // 30 s and fails here with exit status -1.
    const Result r = Run(mode.isEmpty() ? QStringList{path} : QStringList{mode, path});
    QFile::remove(path);
    QCOMPARE(r.err, "tarko-run: Datei " + path.toUtf8() + " kann nicht ge\xC3\xB6" "ffnet werden" + reason + "\n");
    QCOMPARE(r.out, QByteArray());
    QCOMPARE(r.exitCode, 2);
}

void TestCli::largestAllowedFileIsRead()
{
    QByteArray text;
    const QByteArray line("/ eine Zeile Kommentar\r\n");
    while (text.size() + line.size() <= tarko::MaxProgramFileSize)
        text += line;
    text += QByteArray(tarko::MaxProgramFileSize - text.size(), '/');
    QFile f(program);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(text), qint64(tarko::MaxProgramFileSize));
    f.close();
    const Result r = Run({"--check", program});
    QCOMPARE(r.err, QByteArray());
    QCOMPARE(r.exitCode, 0);
}

// --check of several files reads each with the same bounds: a FIFO or an
// endless device among them is reported, and the others are still checked.
void TestCli::severalFilesNeverBlock()
{
    const QString fifo = dir.filePath("rohr.trk");
    const QString zero = dir.filePath("null.trk");
    QFile::remove(fifo);
    QFile::remove(zero);
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QVERIFY(QFile::link(QStringLiteral("/dev/zero"), zero));
    const QString good = WriteFile(dir, "gut2.trk", "Ausgabe 1\r\n");
    const Result r = Run({"--check", fifo, good, zero});
    QFile::remove(fifo);
    QFile::remove(zero);
    QCOMPARE(r.exitCode, 2);
    QVERIFY(r.err.contains(("tarko-run: Datei " + fifo + " kann nicht ge\u00F6ffnet werden").toUtf8()));
    QVERIFY(r.err.contains(("tarko-run: Datei " + zero + " kann nicht ge\u00F6ffnet werden").toUtf8()));
    QVERIFY(!r.err.contains(good.toUtf8()));
}

// With several files a refused one is named with the same reason as a
// single file gets, in --check and in --expect alike.
void TestCli::severalFilesSayWhy()
{
    const QString fifo = dir.filePath("leitung.trk");
    QFile::remove(fifo);
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString large = dir.filePath("riesig.trk");
    {
        QFile f(large);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QVERIFY(f.resize(tarko::MaxProgramFileSize + 1));
    }
    const QString good = WriteFile(dir, "gut3.trk", "Ausgabe 1\r\n");
    const QString in = WriteFile(dir, "ein3.txt", "");
    const QString expected = WriteFile(dir, "aus3.txt", "1 \n");
    const QByteArray notRegular = ": Sie ist keine gew\xC3\xB6hnliche Datei.";
    const QByteArray tooLarge = ": Sie ist gr\xC3\xB6\xC3\x9F" "er als 4 MB. So gro\xC3\x9F" "e Programme kann Tarko nicht laden.";

    const Result check = Run({"--check", fifo, good, large});
    QCOMPARE(check.exitCode, 2);
    QVERIFY2(check.err.contains("tarko-run: Datei " + fifo.toUtf8() + " kann nicht ge\xC3\xB6" "ffnet werden" + notRegular + "\n"),
             check.err.constData());
    QVERIFY2(check.err.contains("tarko-run: Datei " + large.toUtf8() + " kann nicht ge\xC3\xB6" "ffnet werden" + tooLarge + "\n"),
             check.err.constData());

    const Result expect = Run({"--input", in, "--expect", expected, fifo, good, large});
    QFile::remove(fifo);
    QFile::remove(large);
    QCOMPARE(expect.exitCode, 2);
    const QList<QByteArray> lines = expect.out.split('\n');
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines[0], fifo.toUtf8() + ": Datei kann nicht ge\xC3\xB6" "ffnet werden" + notRegular);
    QCOMPARE(lines[1], good.toUtf8() + ": ok");
    QCOMPARE(lines[2], large.toUtf8() + ": Datei kann nicht ge\xC3\xB6" "ffnet werden" + tooLarge);
}

void TestCli::teacherFilesAreCheckedFirst_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("err");   // %I stands for the input file's name
    const QByteArray bom("\xEF\xBB\xBF");
    const QByteArray transcript("? 3\r\n? 4\r\n7 \r\n");
    QTest::newRow("plain") << QByteArray("3\n4\n") << transcript << 0 << QByteArray();
    QTest::newRow("byte-order marks before input and transcript") << bom + "3\n4\n" << bom + transcript << 0 << QByteArray();
    QTest::newRow("blanks and tabs around the numbers, blank lines at the end")
        << QByteArray(" 3 \r\n4\t\n\n  \n") << transcript << 0 << QByteArray();
    QTest::newRow("a decimal point") << QByteArray("3\n2.5\n") << transcript << 2
        << QByteArray("tarko-run: %I:2: Ung\xC3\xBCltige Zahl \"2.5\"\n");
    QTest::newRow("an empty line between numbers") << QByteArray("3\n\n4\n") << transcript << 2
        << QByteArray("tarko-run: %I:2: Ung\xC3\xBCltige Zahl \"\"\n");
    QTest::newRow("two numbers on a line") << QByteArray("3 4\r\n") << transcript << 2
        << QByteArray("tarko-run: %I:1: Ung\xC3\xBCltige Zahl \"3 4\"\n");
}

// The input and the transcript are the teacher's: a byte-order mark or blanks
// around a number change nothing, and a line no pupil could type stops the
// check before any program is judged.
void TestCli::teacherFilesAreCheckedFirst()
{
#ifndef TARKO_HAVE_RUNMODE
    QSKIP("the run mode is not built in");
#endif
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, expected);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, err);
    const QString in = WriteFile(dir, "ein4.txt", input);
    const QString out = WriteFile(dir, "aus4.txt", expected);
    const QString sum = WriteFile(dir, "summe.trk", "Eingabe a\r\nEingabe b\r\nAusgabe a + b\r\n");
    for (const QStringList& json : {QStringList{}, QStringList{"--json"}}) {
        const Result r = Run(json + QStringList{"--input", in, "--expect", out, sum, sum});
        QCOMPARE(r.exitCode, exitCode);
        QCOMPARE(r.err, QByteArray(err).replace("%I", in.toUtf8()));
        if (exitCode == 0 && json.isEmpty())
            QCOMPARE(r.out, (sum + ": ok\n" + sum + ": ok\n").toUtf8());
        else if (exitCode != 0)
            QCOMPARE(r.out, QByteArray());
    }
}

// Whatever bytes a file name holds, it is shown on one line and the JSON is
// valid UTF-8; a name starting with "-" is a file after "--"; an unreadable
// file is explained in JSON as in text.
void TestCli::fileNamesStayReadable()
{
    // A Latin-1 name with a line break in it, made and passed as raw bytes
    // (the shell's glob), as a USB stick from an old system brings it.
    const QByteArray raw = QFile::encodeName(dir.path()) + "/\xE4pfel\nneu.trk";
    const int fd = ::open(raw.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    QVERIFY(fd >= 0);
    QCOMPARE(::write(fd, "Ausgabe y", 9), ssize_t(9));
    ::close(fd);
    WriteFile(dir, "-minus.trk", "Ausgabe 1");
    QVERIFY(QDir(dir.path()).mkpath("ordner.trk.d"));
    auto run = [this](const QString& args) {
        QProcess p;
        p.setWorkingDirectory(dir.path());
        p.start("/bin/sh", {"-c", "exec \"$0\" " + args, QStringLiteral(TARKO_RUN_PATH)});
        p.waitForFinished(30000);
        return Result{p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
    };
    const Result text = run("--check -- ./*pfel* -minus.trk");
    QCOMPARE(text.exitCode, 1);
    QCOMPARE(text.err, QByteArray("./\\xE4pfel\\x0Aneu.trk:1:9: unbekannte Variable\n"));

    const Result json = run("--check --json -- ./*pfel* -minus.trk fehlt.trk ordner.trk.d");
    QCOMPARE(json.exitCode, 2);
    QJsonParseError error;
    const QJsonArray results = QJsonDocument::fromJson(json.out, &error).array();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(results.size(), 4);
    QCOMPARE(results[0].toObject()["file"].toString(), QString("./\\xE4pfel\nneu.trk"));
    QCOMPARE(results[1].toObject(), (QJsonObject{{"file", "-minus.trk"}, {"status", "ok"}}));
    for (int i : {2, 3})
        QCOMPARE(results[i].toObject()["message"].toString(), QString("Datei kann nicht ge\u00F6ffnet werden"));
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
