// The console's wrapping without Qt against Qt's own: the checked-in table
// must be what wrap-gen builds on this machine now, and every line of console
// text must wrap into the same lines, the last one starting at the same
// character, as QtLineWrap wraps it.
#include <QtTest>
#include <cstring>
#include <random>

#include "language/Cp1252.h"
#include "runtime/ConsoleWrap.h"
#include "runtime/TableWrap.h"
#include "runtime/WrapGen.h"

using namespace tarko;

namespace {

std::u16string Utf16(const std::string& cp1252)
{
    std::u16string s;
    for (const unsigned char b : cp1252)
        s += char16_t(Cp1252ToUnicode(b));
    return s;
}

std::string Shown(const std::string& cp1252)
{
    std::string s;
    for (const unsigned char b : cp1252)
        s += (b >= 0x20 && b < 0x7f) ? std::string(1, char(b)) : QString::asprintf("\\x%02x", b).toStdString();
    return s;
}

// Empty when both wraps agree, else what each says.
std::string Differs(const QtLineWrap& qt, const TableLineWrap& plain, const std::string& cp1252)
{
    const std::u16string line = Utf16(cp1252);
    size_t qtStart = 0, plainStart = 0;
    const int qtLines = qt.Wrap(line, &qtStart);
    const int plainLines = plain.Wrap(line, &plainStart);
    if (qtLines == plainLines && qtStart == plainStart)
        return {};
    return "\"" + Shown(cp1252) + "\": Qt " + std::to_string(qtLines) + " lines from " + std::to_string(qtStart) +
           ", table " + std::to_string(plainLines) + " from " + std::to_string(plainStart);
}

std::string Repeat(const std::string& s, int n)
{
    std::string r;
    for (int i = 0; i < n; ++i)
        r += s;
    return r;
}

// A random line of console text: words (umlauts, kerning pairs, long
// ones; UTF-8 here), runs of blanks, tabs, punctuation and any byte.
std::string RandomLine(std::mt19937& rng)
{
    static const char* const words[] = {"Wert", "AV", "To", "Tür", "Größe", "Ärger", "ÖÜ", "€", "Zahl:", "x=",
        "(a)", "[1]", "\"Hallo\"", "-", "--", "a-b", "1.5", "3,14", "100%", "$5", "Yo!", "LT", "P.", "W.A.V.",
        "Donaudampfschifffahrtsgesellschaftskapitän", "iiiiiiiiiiiiiiiiiiiiiiiii", "WWWWWWWWWWWW", "«x»",
        "„so“", "‚a‘", "…", "–", "—", "f(x)", "a/b", "ß", "\u00AD", "\u00A0", "#", "?", "!", "'", ";", "Tj", "Ty", "Stofflager", "Koffein", "fff", "×", "1/", "<=", "W\u00ADA"};
    std::uniform_int_distribution<int> pieces(1, 40), kind(0, 9), byte(1, 255), blanks(1, 4);
    std::string line;
    const int n = pieces(rng);
    for (int i = 0; i < n; ++i) {
        const int k = kind(rng);
        if (k < 5)
            line += Utf8ToCp1252(words[rng() % std::size(words)]);
        else if (k < 7)
            line += std::string(size_t(blanks(rng)), ' ');
        else if (k == 7)
            line += '\t';
        else {
            const int b = byte(rng);
            if (b != '\r' && b != '\n')
                line += char(b);
        }
    }
    return line.empty() ? "x" : line;
}

} // namespace

class TestTableWrap : public QObject {
    Q_OBJECT

private slots:
    void tableIsCurrent()
    {
        const GeneratedWrapTable g = GenerateWrapTable();
        QVERIFY2(g.error.empty(), g.error.c_str());
        const ConsoleFontTable& t = ConsoleFontMetrics;
        const ConsoleFontTable& f = g.table;
        const bool same = std::memcmp(t.advance64, f.advance64, sizeof t.advance64) == 0 &&
                          std::memcmp(t.overhang64, f.overhang64, sizeof t.overhang64) == 0 &&
                          t.minOverhang64 == f.minOverhang64 && t.softHyphen64 == f.softHyphen64 && std::memcmp(t.kind, f.kind, sizeof t.kind) == 0 &&
                          std::memcmp(t.breakBetween, f.breakBetween, sizeof t.breakBetween) == 0 &&
                          std::memcmp(t.breakAfterBlanks, f.breakAfterBlanks, sizeof t.breakAfterBlanks) == 0 &&
                          t.kernCount == f.kernCount &&
                          std::equal(t.kerns, t.kerns + t.kernCount, f.kerns, [](auto a, auto b) {
                              return a.first == b.first && a.second == b.second && a.delta64 == b.delta64;
                          }) &&
                          t.ligatureCount == f.ligatureCount &&
                          std::equal(t.ligatures, t.ligatures + t.ligatureCount, f.ligatures, [](auto& a, auto& b) {
                              return std::memcmp(&a, &b, sizeof a) == 0;
                          });
        QVERIFY2(same, "ConsoleFontTable.cpp is out of date: run scripts/regen-wrap.sh and review the diff");
    }

    void tellingLines_data()
    {
        QTest::addColumn<QByteArray>("line");
        // Widths near the edge: 176 px hold about 20 bold 'W'-less letters.
        const std::pair<const char*, std::string> rows[] = {
            {"short", "Hallo"},
            {"long word", Repeat("Donaudampfschiff", 6)},
            {"blank at the wrap point", Repeat("abcd ", 8)},
            {"run of blanks at the wrap point", "Wertwertwertwert" + std::string(30, ' ') + "x"},
            {"only blanks", std::string(200, ' ')},
            {"blanks before a long word", "   " + Repeat("m", 80)},
            {"hyphens", Repeat("Nord-Süd-", 8)},
            {"hyphen at the edge", "aaaaaaaaaaaaaaaaaaaa-bbbbbbbbbb"},
            {"tabs", "a\tbb\tccc\tdddd\teeeee\tf\tg"},
            {"tab at the edge", Repeat("x", 18) + "\t\t\ty"},
            {"umlauts", Repeat("ÄÖÜäöüß ", 10)},
            {"euro", Repeat("100€ ", 20)},
            {"kerning AV To", Repeat("AVATo", 20)},
            {"kerning across a blank", Repeat("T o V A ", 12)},
            {"digits", Repeat("1234567890", 10)},
            {"quotes and brackets", Repeat("„(x)“ [y] {z} «w» ", 6)},
            {"soft hyphen", Repeat("Silben\u00ADtrennung", 6)},
            {"no-break space", Repeat("a\u00A0", 60)},
            {"punctuation after blank", Repeat("ab ! ? ; : ", 10)},
            {"dashes", Repeat("a–b—c ", 12)},
            {"ligatures", Repeat("Schifflein Koffein ffff fi fl ", 4)},
            {"ligatures broken anywhere", Repeat("ffiffl", 30)},
        };
        for (const auto& [name, text] : rows)
            QTest::newRow(name) << QByteArray::fromStdString(text);
        // Exactly full and one pixel over: the widest run of 'i's and 'W's that fits.
        for (const char c : {'i', 'W', 'm', '.'})
            for (int n = 1; n <= 120; ++n)
                QTest::addRow("%d x %c", n, c) << QByteArray(n, c);
    }

    void tellingLines()
    {
        QFETCH(QByteArray, line);
        const QtLineWrap qt;
        const TableLineWrap plain;
        const std::string d = Differs(qt, plain, Utf8ToCp1252(line.toStdString()));
        QVERIFY2(d.empty(), d.c_str());
    }

    void everyByte()
    {
        const QtLineWrap qt;
        const TableLineWrap plain;
        QStringList failed;
        for (int b = 0; b < 256; ++b) {
            if (b == '\r' || b == '\n')
                continue;
            const std::string c(1, char(b));
            for (const std::string& line : {Repeat(c, 90), Repeat("Wort" + c, 20), Repeat(c + " ab ", 20),
                                            Repeat("AV" + c + "To", 20)}) {
                const std::string d = Differs(qt, plain, line);
                if (!d.empty() && failed.size() < 20)
                    failed << QString::fromStdString(d);
            }
        }
        QVERIFY2(failed.isEmpty(), qPrintable(failed.join('\n')));
    }

    void randomLines()
    {
        const QtLineWrap qt;
        const TableLineWrap plain;
        std::mt19937 rng(20261207);
        QStringList failed;
        int count = 0;
        for (int i = 0; i < 25000; ++i) {
            // The last 5000 are long lines of many wrapped pieces.
            std::string line = RandomLine(rng);
            for (int more = i < 20000 ? 0 : 3; more > 0; --more)
                line += RandomLine(rng);
            const std::string d = Differs(qt, plain, line);
            if (!d.empty() && ++count <= 20)
                failed << QString::fromStdString(d);
        }
        QVERIFY2(failed.isEmpty(), qPrintable(QString::number(count) + " differ:\n" + failed.join('\n')));
    }
};

QTEST_MAIN(TestTableWrap)
#include "test_tablewrap.moc"
