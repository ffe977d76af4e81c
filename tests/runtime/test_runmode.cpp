// tarko-run FILE as a user sees it: the console transcript on stdout, number
// input from stdin, faults on stderr, the exit codes and the PNG image.
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class TestRunMode : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    int files = 0;

    struct Result {
        int exitCode = -1;
        QString out;
        QString err;
    };

    // Writes the program (Windows-1252, CR LF) and runs tarko-run on it.
    QString Write(const QString& program)
    {
        const QString path = dir.filePath(QString("p%1.trk").arg(files++));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            qFatal("cannot write %s", qPrintable(path));
        QString text = program;
        text.replace("\n", "\r\n");
        f.write(text.toLatin1());
        return path;
    }

    Result Run(const QStringList& args, const QByteArray& input = {})
    {
        QProcess p;
        p.setProgram(TARKO_RUN);
        p.setArguments(args);
        p.start();
        if (!p.waitForStarted())
            qFatal("tarko-run did not start");
        p.write(input);
        p.closeWriteChannel();
        if (!p.waitForFinished(60000))
            p.kill();
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }

    static QString Example(const char* name)
    {
        return QString(TARKO_SOURCE_DIR "/resources/examples/%1.trk").arg(name);
    }

private slots:
    void transcripts_data();
    void transcripts();
    void lineLimitEndsTheRun();
    void randomNumbersRepeatWithASeed();
    void pauseAndNoPause();
    void stepsShowTheDebugView();
    void examplesRun();
    void pngIsTheFinalImage();
};

void TestRunMode::transcripts_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");
    QTest::addColumn<int>("exitCode");

    // Normal ends: exit 0.
    QTest::newRow("text and a number with its blank")
        << "Ausgabe \"Summe: \" 2 + 3\nAusgabe \"Ende\"" << QByteArray()
        << "Summe: 5 \nEnde\n" << "" << 0;
    QTest::newRow("an unassigned variable prints -1")
        << "Falls 1 = 2\n  x <= 5\nFallsende\nAusgabe x" << QByteArray() << "-1 \n" << "" << 0;
    QTest::newRow("Oder of two true comparisons counts as true")
        << "Falls 1 = 1 Oder 2 = 2\n  Ausgabe \"ja\"\nFallsende" << QByteArray() << "ja\n" << "" << 0;
    QTest::newRow("number text with decimal comma")
        << "Ausgabe 1 : 3\nAusgabe 0 - 2,5\nAusgabe 0,00001" << QByteArray()
        << "0,333333333333333 \n-2,5 \n1E-5 \n" << "" << 0;
    QTest::newRow("input shows after the prompt")
        << "Eingabe \"Zahl:\" a\nAusgabe a * 2" << QByteArray("12,5\n") << "Zahl:12,5\n25 \n" << "" << 0;
    QTest::newRow("invalid entries are refused and read again")
        << "Eingabe a\nAusgabe a" << QByteArray("abc\n1,2,3\n5-\n-\n\n-0,5\n")
        << "? -0,5\n-0,5 \n" << "Ung\u00FCltige Zahl\nUng\u00FCltige Zahl\nUng\u00FCltige Zahl\nUng\u00FCltige Zahl\nUng\u00FCltige Zahl\n" << 0;
    QTest::newRow("a lone comma is 0, a trailing comma is accepted")
        << "Eingabe a\nEingabe b\nAusgabe a b" << QByteArray(",\n12,\n") << "? ,\n? 12,\n0 12 \n" << "" << 0;
    QTest::newRow("an entry beyond the double range is refused")
        << "Eingabe a\nAusgabe a" << QByteArray("1" + QByteArray(400, '0') + "\n2\n")
        << "? 2\n2 \n" << "Ung\u00FCltige Zahl\n" << 0;
    QTest::newRow("blanks and tabs around an entry do not matter")
        << "Eingabe a\nEingabe b\nEingabe c\nAusgabe a + b + c" << QByteArray(" 5\n5 \r\n\t5\t\n")
        << "? 5\n? 5\n? 5\n15 \n" << "" << 0;
    QTest::newRow("a byte-order mark before the first entry")
        << "Eingabe a\nAusgabe a" << QByteArray("\xEF\xBB\xBF" "7\n") << "? 7\n7 \n" << "" << 0;
    QTest::newRow("an entry below the smallest double is 0")
        << "Eingabe a\nAusgabe a" << QByteArray("-0," + QByteArray(400, '0') + "1\n")
        << "? -0," + QString(400, '0') + "1\n0 \n" << "" << 0;
    QTest::newRow("input with CR LF line ends")
        << "Eingabe a\nAusgabe a" << QByteArray("3\r\n") << "? 3\n3 \n" << "" << 0;
    QTest::newRow("L\u00F6schen writes a form feed")
        << "Ausgabe \"a\"\nL\u00F6schen\nAusgabe \"b\"" << QByteArray() << "a\n\fb\n" << "" << 0;
    QTest::newRow("graphics leave the transcript alone")
        << "Rot\nPunkt (0; 0)\nAusgabe \"x\"" << QByteArray() << "x\n" << "" << 0;
    // End of input ends the run like Stop: exit 4.
    QTest::newRow("end of input")
        << "Ausgabe \"vor\"\nEingabe a\nAusgabe \"nach\"" << QByteArray() << "vor\n? " << "" << 4;
    QTest::newRow("end of input after invalid entries")
        << "Eingabe a" << QByteArray("x\n") << "? " << "Ung\u00FCltige Zahl\n" << 4;
    // Faults: "FILE:LINE: " and the German text on stderr, exit 3; what came before stays.
    QTest::newRow("division by zero")
        << "Ausgabe \"a\"\nAusgabe 1 : 0\nAusgabe \"b\"" << QByteArray() << "a\n"
        << "%F:2: Gleitkommadivision durch Null\n" << 3;
    QTest::newRow("zero by zero")
        << "x <= 0\nAusgabe x : 0" << QByteArray() << "" << "%F:2: Ung\u00FCltige Gleitkommaoperation\n" << 3;
    QTest::newRow("overflow")
        << "x <= 10\nWiederhole\n  x <= x * x\nbis x < 0" << QByteArray() << ""
        << "%F:3: Gleitkomma\u00FCberlauf\n" << 3;
    QTest::newRow("coordinate beyond the 64-bit range")
        << "Punkt (1000000000000000000; 0)" << QByteArray() << "" << "%F:1: Ung\u00FCltige Gleitkommaoperation\n" << 3;
    QTest::newRow("a far point is no fault")
        << "Punkt (1000000; 0)\nAusgabe \"ok\"" << QByteArray() << "ok\n" << "" << 0;
    QTest::newRow("random bound beyond the 64-bit range")
        << "Zufallseingabe (1..10000000000000000000) z" << QByteArray() << ""
        << "%F:1: Ung\u00FCltige Gleitkommaoperation\n" << 3;
    // Compile errors: exit 1, nothing runs.
    QTest::newRow("compile error runs nothing")
        << "Ausgabe \"a\"\nAusgabe y" << QByteArray() << "" << "*" << 1;
}

void TestRunMode::transcripts()
{
    QFETCH(QString, program);
    QFETCH(QByteArray, input);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QFETCH(int, exitCode);
    const QString path = Write(program);
    const Result r = Run({"--seed", "1", path}, input);
    QCOMPARE(r.out, out);
    if (err != "*")
        QCOMPARE(r.err, QString(err).replace("%F", path));
    QCOMPARE(r.exitCode, exitCode);
}

void TestRunMode::lineLimitEndsTheRun()
{
    // The 999th line is the last: the line break after it is refused.
    const Result r = Run({Write("Wiederhole\n  Ausgabe \"z\"\nbis 1 = 2")});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out, QString("z\n").repeated(998) + "z\nProgrammabbruch\nZuviele Zeilen\n");

    // Clearing starts counting again.
    const Result cleared = Run({Write("i <= 0\nWiederhole\n  Ausgabe i\n  i <= i + 1\n"
                                      "  Falls i = 900\n    L\u00F6schen\n  Fallsende\nbis i = 1500")});
    QCOMPARE(cleared.exitCode, 0);
    QVERIFY(!cleared.out.contains("Programmabbruch"));
    QVERIFY(cleared.out.endsWith("1499 \n"));
}

void TestRunMode::randomNumbersRepeatWithASeed()
{
    const QString path = Write("i <= 0\nWiederhole\n  Zufallseingabe (1..1000000) z\n"
                               "  Ausgabe z\n  i <= i + 1\nbis i = 5");
    const Result a = Run({"--seed", "7", path});
    const Result b = Run({"--seed", "7", path});
    const Result c = Run({"--seed", "8", path});
    QCOMPARE(a.exitCode, 0);
    QCOMPARE(a.out.count('\n'), 5);
    QCOMPARE(a.out, b.out);
    QVERIFY(a.out != c.out);
}

void TestRunMode::pauseAndNoPause()
{
    const QString path = Write("Pause 0,3\nAusgabe \"a\"");
    QElapsedTimer t;
    t.start();
    QCOMPARE(Run({path}).out, QString("a\n"));
    QVERIFY(t.elapsed() >= 300);
    const QString longPause = Write("Pause 100\nAusgabe \"b\"");
    t.restart();
    QCOMPARE(Run({"--no-pause", longPause}).out, QString("b\n"));
    QVERIFY(t.elapsed() < 30000);
}

void TestRunMode::stepsShowTheDebugView()
{
    const Result r = Run({"--steps", Write("x <= 2\nAusgabe x")});
    QCOMPARE(r.exitCode, 0);
    const QStringList lines = r.out.split('\n');
    // Start message; then before each instruction the data view, the stack
    // view and the instruction; the data view shows the state before it.
    const QStringList expected{
        "Einzelschritt mit <Leertaste>...",
        " #0:-1", "0: PUSHC 2.0E+0000",
        " #0:-1", "9999 : 2", "1: POPC 0.0E+0000",
        " #0:2", "2: PUSH 0.0E+0000",
        " #0:2", "9999 : 2", "3: WRREAL"};
    QCOMPARE(lines.mid(0, expected.size()), expected);
    QVERIFY(r.out.contains("2 \n"));
    QVERIFY(lines.contains(QRegularExpression("^\\d+: HALT$")));
}

void TestRunMode::examplesRun()
{
    const Result ideal = Run({Example("Idealgewicht")}, "180\n75\n");
    QCOMPARE(ideal.exitCode, 0);
    QCOMPARE(ideal.out, QString("Dieses Programm testet dein Gewicht!\n"
                                "Gib deine Gr\u00F6\u00DFe in cm ein:180\n"
                                "Gib dein Gewicht in kg ein:75\n"
                                "Dein Idealgewicht in kg:72 \n"));
    const Result light = Run({Example("Idealgewicht")}, "180\n60\n");
    QVERIFY(light.out.endsWith("Du k\u00F6nntest ruhig etwas zunehmen!\n"));

    // Memory: the number shown, then a wrong guess of 0 ends the game.
    const Result memory = Run({"--no-pause", "--seed", "3", Example("Memory")}, "0\n");
    QCOMPARE(memory.exitCode, 0);
    const QRegularExpressionMatch m =
        QRegularExpression("Merke dir die Zahl (\\d+) \n\f\\? 0\n").match(memory.out);
    QVERIFY2(m.hasMatch(), qPrintable(memory.out));
    QVERIFY(memory.out.contains("Es war die " + m.captured(1) + " \n"));
    // Without input Memory ends like Stop.
    QCOMPARE(Run({"--no-pause", Example("Memory")}).exitCode, 4);

    for (const char* name : {"Koordinatensystem", "Grafikdesign"}) {
        const Result r = Run({"--no-pause", Example(name)});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out, QString());
        QCOMPARE(r.err, QString());
    }
}

void TestRunMode::pngIsTheFinalImage()
{
    const QString png = dir.filePath("k.png");
    QCOMPARE(Run({"--png", png, Example("Koordinatensystem")}).exitCode, 0);
    QImage img(png);
    QCOMPARE(img.size(), QSize(200, 200));
    // The axes: row 99 and column 100 drawn from edge to edge (white where
    // no curve crosses them).
    for (int i = 0; i < 200; ++i) {
        QVERIFY(img.pixelColor(i, 99) != QColor(Qt::black));
        QVERIFY(img.pixelColor(100, i) != QColor(Qt::black));
    }
    for (QPoint p : {QPoint(0, 99), QPoint(199, 99), QPoint(100, 0), QPoint(100, 199)})
        QCOMPARE(img.pixelColor(p), QColor(Qt::white));

    // The image keeps its last state: drawn, then text output hides it, the
    // image still shows the drawing; a fault still writes it.
    const QString png2 = dir.filePath("f.png");
    const Result r = Run({"--png", png2, Write("Blau\nRechteck (-10; -10) (10; 10)\nAusgabe 1 : 0")});
    QCOMPARE(r.exitCode, 3);
    QCOMPARE(QImage(png2).pixelColor(5, 5), QColor(0, 0, 255));

    // A program without graphics writes a black image.
    const QString png3 = dir.filePath("b.png");
    QCOMPARE(Run({"--png", png3, Write("Ausgabe 1")}).exitCode, 0);
    QCOMPARE(QImage(png3).pixelColor(100, 99), QColor(Qt::black));
}

QTEST_GUILESS_MAIN(TestRunMode)
#include "test_runmode.moc"
