// The glyph table checked in against the desktop's font rendering: the table
// must be what glyph-gen builds on this machine now, and texts drawn from it
// must light exactly the pixels Qt's drawing of the canvas lights, anywhere
// on the image and clipped at its edges.
#include <QFontMetrics>
#include <QtTest>
#include <random>

#include "runtime/Canvas.h"
#include "runtime/GlyphGen.h"
#include "runtime/Raster.h"

using namespace tarko;

namespace {

// Whether the text drawn both ways at (col, row) in the colour gives the same image.
bool SameBothWays(const std::string& text, int64_t col, int64_t row, int colour)
{
    Canvas canvas;
    canvas.SetColor(15);
    canvas.FillRect(0, 0, 200, 200);
    canvas.SetColor(19);
    canvas.FillCircle(100, 100, 60);
    QImage before = canvas.image().convertToFormat(QImage::Format_RGB32);
    canvas.SetColor(colour);
    canvas.DrawText(col, row, text);
    raster::DrawText(reinterpret_cast<uint32_t*>(before.bits()), Canvas::ColourOf(colour).rgb(), col,
                     row, text, CanvasGlyphs);
    return before == canvas.image();
}

// A shortest piece of a differing text that still differs, for the message.
std::string Shrunk(std::string text, int64_t col, int64_t row, int colour)
{
    for (bool shorter = true; shorter;) {
        shorter = false;
        for (size_t i = 0; i < text.size() && text.size() > 1; ++i) {
            std::string t = text;
            t.erase(i, 1);
            if (!SameBothWays(t, col, row, colour)) {
                text = t;
                shorter = true;
                break;
            }
        }
    }
    return text;
}

} // namespace

class TestGlyphs : public QObject {
    Q_OBJECT

private slots:
    void tableIsTheDesktopsRendering();
    void textsAsTheDesktopDrawsThem();
};

void TestGlyphs::tableIsTheDesktopsRendering()
{
    const GeneratedGlyphs now = GenerateGlyphs();
    QVERIFY2(now.error.empty(), now.error.c_str());
    for (int c = 0; c < 256; ++c) {
        const GlyphTable::Glyph& a = now.table.glyphs[c];
        const GlyphTable::Glyph& b = CanvasGlyphs.glyphs[c];
        const bool same = a.advance == b.advance && a.width == b.width && a.kernAs == b.kernAs && a.widthKernAs == b.widthKernAs && a.onlyAtEnd == b.onlyAtEnd && a.left == b.left &&
                          std::equal(std::begin(a.rows), std::end(a.rows), std::begin(b.rows));
        QVERIFY2(same, qPrintable(QString("glyph %1 differs: run scripts/regen-glyphs.sh").arg(c)));
    }
    QCOMPARE(now.table.kernCount, CanvasGlyphs.kernCount);
    for (int i = 0; i < now.table.kernCount; ++i)
        QVERIFY(now.kerns[size_t(i)].first == CanvasGlyphs.kerns[i].first &&
                now.kerns[size_t(i)].second == CanvasGlyphs.kerns[i].second &&
                now.kerns[size_t(i)].adjust == CanvasGlyphs.kerns[i].adjust);
}

// Random texts of every character (kerning pairs and tabs among them) at
// random places, over a patterned image: the same image both ways.
void TestGlyphs::textsAsTheDesktopDrawsThem()
{
    std::mt19937 random(5);
    const std::string common = "AVATarWoT.,\t y\xE4\xF6\xFC\xDF\xC4" "Mein Haus 12,5 L'\"-";
    int compared = 0;
    for (int n = 0; n < 3000; ++n) {
        std::string text;
        const int length = 1 + int(random() % 24);
        for (int i = 0; i < length; ++i)
            text += random() % 3 ? common[random() % common.size()] : char(1 + random() % 255);
        const int64_t col = int64_t(random() % 400) - 180;
        const int64_t row = int64_t(random() % 230) - 10;
        const int colour = 14 + int(random() % 7);
        if (!SameBothWays(text, col, row, colour))
            QFAIL(qPrintable(QString("text %1 at %2;%3 differs (as the piece %4)")
                             .arg(QString::fromLatin1(QByteArray::fromStdString(text).toHex(' ')))
                             .arg(col).arg(row)
                             .arg(QString::fromLatin1(QByteArray::fromStdString(Shrunk(text, col, row, colour)).toHex(' ')))));
        ++compared;
    }
    QCOMPARE(compared, 3000);
    QCOMPARE(raster::TextWidth("Mein Haus", CanvasGlyphs),
             QFontMetrics(Canvas::TextFont()).horizontalAdvance("Mein Haus"));
}

QTEST_MAIN(TestGlyphs)
#include "test_glyphs.moc"
