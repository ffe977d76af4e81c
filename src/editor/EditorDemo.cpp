// A small window to look at the colouring editor: the workbench colour
// scheme over the example programs and a sample of tricky lines.
#include "editor/ColMemo.h"
#include "editor/WinText.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>

using namespace tarko;

namespace {

// Windows-1252 text of the sample; \x1E and \x1F are the hot-spot markers.
const char* const kSample =
    "/ Farbprobe\r\n"
    "Falls x = 1 / Vergleich\r\n"
    "Ausgabe \"Hallo / Welt\"\r\n"
    "Ausgabe \"rot\" rot\r\n"
    "L\xD6SCHEN GR\xDCN L\xF6schen l\xF6schen WEI\xDF Wei\xDF\r\n"
    "Ausgabe2 rot_1 Wiederholen Bisher Solange SolangeEnde\r\n"
    "\tAusgabe\t\"Tab\"\tpunkt\r\n"
    "Ausgabe \"ohne Ende\r\n"
    "Siehe \x1EHilfe\x1F und \x1E\x42\x65ispiel\x1F.\r\n";

QString font() { return QStringLiteral("Courier New"); }

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Tarko – Editor"));
    auto* layout = new QVBoxLayout(&window);
    auto* choice = new QComboBox(&window);
    auto* memo = new TColorMemo(&window);
    auto* status = new QLabel(&window);
    layout->addWidget(choice);
    layout->addWidget(memo, 1);
    layout->addWidget(status);

    QFont f(font(), 11);
    f.setStyleHint(QFont::TypeWriter);
    f.setFamilies({font(), QStringLiteral("Liberation Mono"), QStringLiteral("DejaVu Sans Mono")});
    memo->setFont(f);
    ApplyProgramEditorScheme(*memo);
    memo->SetTabWidthPixels(3 * 8);
    THotSpot hs;
    hs.Active = true;
    memo->SetHotSpot(hs);
    memo->OnHotSpotClick = [status](TColorMemo*, const std::string& src) {
        status->setText(QStringLiteral("Hot Spot: ") + FromWinText(src));
    };

    choice->addItem(QStringLiteral("Farbprobe"));
    for (const char* name : {"Grafikdesign", "Idealgewicht", "Koordinatensystem", "Memory"})
        choice->addItem(QString::fromLatin1(name));
    auto load = [memo, choice](int index) {
        if (index == 0) {
            memo->SetWinText(kSample);
            return;
        }
        QFile file(QStringLiteral(":/examples/%1.trk").arg(choice->itemText(index)));
        if (file.open(QIODevice::ReadOnly)) {
            const QByteArray bytes = file.readAll();
            memo->SetWinText(std::string_view(bytes.constData(), size_t(bytes.size())));
        }
    };
    QObject::connect(choice, &QComboBox::currentIndexChanged, &window, load);
    const int start = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 0;
    choice->setCurrentIndex(start);
    load(start);

    window.resize(760, 560);
    window.show();
    return app.exec();
}
