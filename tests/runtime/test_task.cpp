// Task files and transcript hashes: what a teacher's file holds reads back
// exactly, a damaged file is refused with its line, and the hash of a
// transcript is SHA-256 of its lines (checked against Qt's).
#include <QCryptographicHash>
#include <QRandomGenerator>
#include <QtTest>

#include "runtime/Task.h"

using namespace tarko;

class TestTask : public QObject {
    Q_OBJECT
private slots:
    void hashIsSha256OfTheLines();
    void fileReadsBackAsWritten();
    void damagedFiles_data();
    void damagedFiles();
    void verdicts_data();
    void verdicts();
};

void TestTask::hashIsSha256OfTheLines()
{
    // Lengths around SHA-256's 64-byte blocks and its 56-byte padding edge.
    QRandomGenerator random(2026);
    for (int length : {0, 1, 54, 55, 56, 57, 63, 64, 65, 119, 120, 128, 1000}) {
        std::string lines;
        for (int i = 0; i < length; ++i)
            lines += i % 17 == 16 ? '\n' : static_cast<char>(0x20 + random.bounded(0x5F));
        if (!lines.empty() && lines.back() != '\n')
            lines += '\n';
        const QByteArray want = QCryptographicHash::hash(QByteArray::fromStdString(lines), QCryptographicHash::Sha256).toHex();
        QCOMPARE(QByteArray::fromStdString(TranscriptHash(lines)), "sha256:" + want);
        // Line ends do not matter, nor a missing last one.
        std::string crlf;
        for (char c : lines)
            crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
        if (!crlf.empty())
            crlf.resize(crlf.size() - 2);
        QCOMPARE(TranscriptHash(crlf), TranscriptHash(lines));
    }
}

void TestTask::fileReadsBackAsWritten()
{
    Task task;
    task.title = "Zehn Jahre \xC3\xA4lter";
    task.text = "Erste Zeile\n\n| beginnt mit einem Strich\nTest\nEingabe:\n  einger\xC3\xBC" "ckt";
    task.starter = "/ Dein Programm\nAusgabe \"|\"";
    task.cases.push_back(MakeCase("12\r\n 3,5 \n\n", "Wie alt? 12\nIn zehn Jahren 22\n\n", false));
    task.cases.push_back(MakeCase("-1\n", "geheim\n", true));
    task.cases.push_back(MakeCase("", "", false));   // no input, no output
    std::string error;
    const std::optional<Task> back = ParseTask(TaskFileText(task), error);
    QVERIFY2(back, error.c_str());
    QCOMPARE(back->title, task.title);
    QCOMPARE(back->text, task.text);
    QCOMPARE(back->starter, task.starter);
    QCOMPARE(back->cases.size(), size_t(3));
    QCOMPARE(back->cases[0].input, std::string("12\n3,5\n"));
    QCOMPARE(back->cases[0].expected, std::string("Wie alt? 12\nIn zehn Jahren 22\n\n"));
    QVERIFY(back->cases[1].hidden);
    QCOMPARE(back->cases[1].hash, TranscriptHash("geheim"));
    QVERIFY(TaskFileText(task).find("geheim") == std::string::npos);
    QCOMPARE(back->cases[2].input, std::string());
    QCOMPARE(back->cases[2].expected, std::string());
    QCOMPARE(TaskFileText(*back), TaskFileText(task));
}

void TestTask::damagedFiles_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("error");
    const QByteArray head = "Tarko-Aufgabe 1\nTitel: T\n";
    QTest::newRow("no task at all") << QByteArray("Ausgabe \"Hallo\"\n")
        << "Das ist keine Tarko-Aufgabe (die erste Zeile muss \"Tarko-Aufgabe 1\" sein).";
    QTest::newRow("no test") << head << "Die Aufgabe hat keinen Test.";
    QTest::newRow("test without input") << head + "Test\nAusgabe:\n| 1\n" << "Zeile 4: \"Eingabe:\" erwartet";
    QTest::newRow("input not a number") << head + "Test\nEingabe:\n| 1.5\nAusgabe:\n" << "Zeile 6: Ung\u00FCltige Zahl \"1.5\" in der Eingabe";
    QTest::newRow("visible test without output") << head + "Test\nEingabe:\n| 1\n" << "Zeile 6: \"Ausgabe:\" erwartet";
    QTest::newRow("hidden test with its output") << head + "Versteckter Test\nEingabe:\nAusgabe:\n| 2\n"
        << "Zeile 5: \"Ausgabe-Pr\u00FCfsumme:\" erwartet";
    QTest::newRow("hash cut short") << head + "Versteckter Test\nEingabe:\nAusgabe-Pr\xC3\xBC" "fsumme: sha256:abc\n"
        << "Zeile 5: die Pr\u00FCfsumme ist keine SHA-256-Summe";
    QTest::newRow("title twice") << head + "Titel: U\n" << "Zeile 3: der Titel steht zweimal da";
    QTest::newRow("unknown line") << head + "Hinweis: leicht\n" << "Zeile 3: unbekannte Angabe \"Hinweis: leicht\"";
}

void TestTask::damagedFiles()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, error);
    std::string message;
    QVERIFY(!ParseTask(text.toStdString(), message));
    QCOMPARE(QString::fromStdString(message), error);
}

void TestTask::verdicts_data()
{
    QTest::addColumn<bool>("hidden");
    QTest::addColumn<int>("end");
    QTest::addColumn<QString>("transcript");
    QTest::addColumn<QString>("text");
    const int done = int(CaseEnd::Completed);
    QTest::newRow("visible passes, CR LF or not") << false << done << "Frage? 4\r\n8" << "\u2713 Test 2";
    QTest::newRow("visible differs") << false << done << "Frage? 4\n9\n" << "\u2717 Test 2: Ausgabezeile 2: erwartet \"8\", erhalten \"9\"";
    QTest::newRow("visible ends early") << false << done << "Frage? 4\n" << "\u2717 Test 2: Ausgabezeile 2: erwartet \"8\", erhalten nichts (Ausgabe zu Ende)";
    QTest::newRow("hidden passes") << true << done << "Frage? 4\n8\n" << "\u2713 versteckter Test 2";
    QTest::newRow("hidden differs, says no more") << true << done << "Frage? 4\n9\n" << "\u2717 versteckter Test 2 stimmt nicht";
    QTest::newRow("hidden: an extra empty line differs") << true << done << "Frage? 4\n8\n\n" << "\u2717 versteckter Test 2 stimmt nicht";
    QTest::newRow("wants more numbers") << true << int(CaseEnd::EndOfInput) << "Frage? 4\n"
        << "\u2717 versteckter Test 2: Eingabe zu Ende in Zeile 3: das Programm will mehr Zahlen, als der Test eingibt";
    QTest::newRow("never ends") << false << int(CaseEnd::TimeLimit) << ""
        << "\u2717 Test 2: Zeitlimit \u00FCberschritten in Zeile 3: das Programm wird nicht rechtzeitig fertig";
}

void TestTask::verdicts()
{
    QFETCH(bool, hidden);
    QFETCH(int, end);
    QFETCH(QString, transcript);
    QFETCH(QString, text);
    const TaskCase c = MakeCase("4\n", "Frage? 4\n8\n", hidden);
    CaseRun run;
    run.end = CaseEnd(end);
    run.transcript = transcript.toStdString();
    run.line = end == int(CaseEnd::Completed) ? 0 : 3;
    const CaseVerdict v = JudgeCase(c, 2, run);
    QCOMPARE(QString::fromStdString(v.text), text);
    QCOMPARE(v.passed, text.startsWith(QChar(0x2713)));
}

QTEST_APPLESS_MAIN(TestTask)
#include "test_task.moc"
