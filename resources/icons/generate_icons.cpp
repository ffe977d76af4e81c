// Draws the twenty-by-twenty pictures of the tool bar buttons into PNG files.
// Usage: tarko-icons DIR   (the PNGs in this folder were made with it)
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <functional>

namespace {

using Draw = std::function<void(QPainter&)>;

void Page(QPainter& p, QRectF r, QColor fill = Qt::white)
{
    // A sheet with its top-right corner folded over.
    const qreal f = 4;
    QPainterPath path;
    path.moveTo(r.left(), r.top());
    path.lineTo(r.right() - f, r.top());
    path.lineTo(r.right(), r.top() + f);
    path.lineTo(r.right(), r.bottom());
    path.lineTo(r.left(), r.bottom());
    path.closeSubpath();
    p.setPen(QPen(QColor(60, 60, 60), 1));
    p.setBrush(fill);
    p.drawPath(path);
    p.drawLine(QPointF(r.right() - f, r.top()), QPointF(r.right() - f, r.top() + f));
    p.drawLine(QPointF(r.right() - f, r.top() + f), QPointF(r.right(), r.top() + f));
}

void Lines(QPainter& p, QRectF r, int n)
{
    p.setPen(QPen(QColor(120, 120, 160), 1));
    for (int i = 0; i < n; ++i)
        p.drawLine(QPointF(r.left() + 2.5, r.top() + 6.5 + 2 * i), QPointF(r.right() - 2.5, r.top() + 6.5 + 2 * i));
}

void Magnifier(QPainter& p, QPointF c, qreal rad)
{
    p.setPen(QPen(QColor(90, 60, 30), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(c + QPointF(rad * 0.7, rad * 0.7), c + QPointF(rad * 1.9, rad * 1.9));
    p.setPen(QPen(QColor(40, 40, 40), 1.5));
    p.setBrush(QColor(190, 225, 255));
    p.drawEllipse(c, rad, rad);
}

void Neu(QPainter& p) { Page(p, QRectF(4.5, 1.5, 11, 17)); }

void Oeffnen(QPainter& p)
{
    p.setPen(QPen(QColor(120, 90, 10), 1));
    p.setBrush(QColor(230, 190, 60));
    p.drawRect(QRectF(1.5, 5.5, 14, 11));                  // back of the folder
    p.drawRect(QRectF(1.5, 3.5, 6, 2));                     // its tab
    QPolygonF front{{1.5, 16.5}, {5.5, 9.5}, {18.5, 9.5}, {15.5, 16.5}};
    p.setBrush(QColor(250, 215, 100));
    p.drawPolygon(front);
}

void Speichern(QPainter& p)
{
    p.setPen(QPen(QColor(20, 30, 80), 1));
    p.setBrush(QColor(50, 80, 170));
    p.drawRect(QRectF(2.5, 2.5, 15, 15));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(5.5, 2.5, 9, 6));                     // label
    p.setBrush(QColor(190, 190, 200));
    p.drawRect(QRectF(6.5, 12.5, 7, 5));                    // shutter
    p.fillRect(QRectF(10, 13.5, 2, 3), QColor(20, 30, 80));
}

void Drucken(QPainter& p)
{
    p.setPen(QPen(QColor(50, 50, 50), 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(5.5, 1.5, 9, 7));                     // paper in
    p.setBrush(QColor(160, 160, 170));
    p.drawRect(QRectF(1.5, 7.5, 17, 7));                    // body
    p.setBrush(Qt::white);
    p.drawRect(QRectF(5.5, 12.5, 9, 6));                    // paper out
    p.fillRect(QRectF(15, 9, 2, 1.5), QColor(0, 170, 0));
}

void Ausschneiden(QPainter& p)
{
    p.setPen(QPen(QColor(60, 60, 70), 1.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(6, 2), QPointF(12.5, 13));
    p.drawLine(QPointF(14, 2), QPointF(7.5, 13));
    p.setPen(QPen(QColor(180, 20, 20), 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(6, 15.5), 3, 3);
    p.drawEllipse(QPointF(14, 15.5), 3, 3);
}

void Kopieren(QPainter& p)
{
    Page(p, QRectF(1.5, 1.5, 10, 13));
    Lines(p, QRectF(1.5, 1.5, 10, 13), 3);
    Page(p, QRectF(8.5, 5.5, 10, 13));
    Lines(p, QRectF(8.5, 5.5, 10, 13), 3);
}

void Einfuegen(QPainter& p)
{
    p.setPen(QPen(QColor(90, 60, 20), 1));
    p.setBrush(QColor(180, 130, 60));
    p.drawRoundedRect(QRectF(2.5, 3.5, 12, 15), 1.5, 1.5);
    p.setBrush(QColor(200, 200, 200));
    p.drawRect(QRectF(5.5, 1.5, 6, 3));                     // clip
    Page(p, QRectF(8.5, 7.5, 10, 11));
    Lines(p, QRectF(8.5, 6.5, 10, 11), 3);
}

void Suchen(QPainter& p) { Magnifier(p, QPointF(8, 8), 5.5); }

void Ersetzen(QPainter& p)
{
    Page(p, QRectF(1.5, 1.5, 11, 15));
    Lines(p, QRectF(1.5, 1.5, 11, 15), 4);
    // A pencil across the sheet's lower right corner.
    p.save();
    p.translate(13, 13);
    p.rotate(-45);
    p.setPen(QPen(QColor(40, 40, 40), 1));
    p.setBrush(QColor(240, 180, 30));
    p.drawRect(QRectF(-6, -2, 10, 4));
    QPolygonF tip{{4, -2}, {7.5, 0}, {4, 2}};
    p.setBrush(QColor(240, 210, 170));
    p.drawPolygon(tip);
    p.setBrush(QColor(230, 110, 130));
    p.drawRect(QRectF(-8, -2, 2, 4));
    p.restore();
}

void Run(QPainter& p)
{
    QPolygonF tri{{5, 2.5}, {17, 10}, {5, 17.5}};
    p.setPen(QPen(QColor(0, 90, 0), 1));
    p.setBrush(QColor(30, 170, 30));
    p.drawPolygon(tri);
}

void Stop(QPainter& p)
{
    QPolygonF oct;
    for (int i = 0; i < 8; ++i) {
        const qreal a = (22.5 + 45 * i) * 3.14159265358979 / 180;
        oct << QPointF(10 + 8.5 * std::cos(a), 10 + 8.5 * std::sin(a));
    }
    p.setPen(QPen(QColor(120, 0, 0), 1));
    p.setBrush(QColor(210, 30, 30));
    p.drawPolygon(oct);
    p.fillRect(QRectF(5, 8.5, 10, 3), Qt::white);
}

void Hilfe(QPainter& p)
{
    p.setPen(QPen(QColor(0, 40, 120), 1));
    p.setBrush(QColor(40, 100, 210));
    p.drawEllipse(QPointF(10, 10), 8.5, 8.5);
    // The question mark as strokes, so it needs no font.
    p.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    QPainterPath q;
    q.moveTo(7, 7.5);
    q.cubicTo(7, 3.5, 13.5, 3.5, 13.2, 7.5);
    q.cubicTo(13, 9.8, 10, 9.8, 10, 12);
    p.drawPath(q);
    p.drawPoint(QPointF(10, 15.2));
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QDir dir(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));
    const std::pair<const char*, Draw> icons[] = {
        {"neu", Neu},           {"oeffnen", Oeffnen},   {"speichern", Speichern},
        {"drucken", Drucken},   {"ausschneiden", Ausschneiden}, {"kopieren", Kopieren},
        {"einfuegen", Einfuegen}, {"suchen", Suchen},   {"ersetzen", Ersetzen},
        {"run", Run},           {"stop", Stop},         {"hilfe", Hilfe},
    };
    for (const auto& [name, draw] : icons) {
        QImage img(20, 20, QImage::Format_ARGB32);
        img.fill(Qt::transparent);
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        draw(p);
        p.end();
        if (!img.save(dir.filePath(QString::fromLatin1(name) + ".png")))
            return 1;
    }
    return 0;
}
