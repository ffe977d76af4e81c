#include "workbench/Info.h"

#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace tarko {

namespace {

// The about box's picture, 231 x 166: the hand-held device on a sky.
QImage InfoPicture()
{
    QImage img(231, 166, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 166);
    sky.setColorAt(0, QColor(170, 215, 250));
    sky.setColorAt(1, QColor(250, 250, 255));
    p.fillRect(img.rect(), sky);
    p.setPen(QPen(QColor(120, 50, 0), 2));
    p.setBrush(QColor(245, 130, 20));
    p.drawRoundedRect(QRectF(150, 40, 62, 108), 10, 10);
    p.setBrush(QColor(150, 200, 240));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(158, 52, 46, 44), 4, 4);
    p.fillRect(QRectF(162, 56, 38, 36), QColor(0, 223, 223));
    p.setPen(QPen(Qt::black, 1));
    p.drawText(QRectF(164, 58, 34, 12), Qt::AlignLeft, QStringLiteral("Hallo"));
    p.setBrush(QColor(250, 250, 250));
    p.setPen(QPen(QColor(120, 50, 0), 1));
    for (int i = 0; i < 5; ++i)
        p.drawRoundedRect(QRectF(157 + i * 10, 108 + (i == 2 ? 3 : i % 2 * 2), 7, 8), 2, 2);
    p.drawRoundedRect(QRectF(167, 126, 20, 9), 2, 2);
    return img;
}

} // namespace

TInfoForm::TInfoForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("InfoForm"));
    setWindowTitle(QStringLiteral("Tarko"));
    setFixedSize(263, 176);
    setModal(true);
    auto* title = new QLabel(QStringLiteral("Tarko\nProgrammieren auf Deutsch"), this);
    QFont f = title->font();
    f.setBold(true);
    f.setPixelSize(12);
    title->setFont(f);
    title->setStyleSheet(QStringLiteral("color: black; background: transparent;"));
    title->setGeometry(10, 8, 200, 34);
    lVersion_ = new QLabel(this);
    lVersion_->setObjectName(QStringLiteral("L_Version"));
    lVersion_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lVersion_->setStyleSheet(QStringLiteral("color: black; background: transparent;"));
    lVersion_->setGeometry(8, 176 - 22, 263 - 16, 18);
}

void TInfoForm::showEvent(QShowEvent* e)
{
    lVersion_->setText(QStringLiteral("Version 1.16 [08.10.02]"));
    QDialog::showEvent(e);
}

void TInfoForm::paintEvent(QPaintEvent*)
{
    static const QImage picture = InfoPicture();
    QPainter p(this);
    p.drawImage(rect(), picture);
}

} // namespace tarko
