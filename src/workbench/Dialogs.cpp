#include "workbench/Dialogs.h"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QFontDialog>
#include <QFontInfo>
#include <QGroupBox>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QMessageBox>
#include <QPushButton>

#include <algorithm>

namespace tarko {

namespace {

// The entry "Alle Dateien(*.*)" keeps its text but lists every file: the
// pattern "*.*" alone would hide names without a dot.
void ListEveryFileUnderAllFiles(QFileDialog& dlg)
{
    auto* model = dlg.findChild<QFileSystemModel*>();
    if (!model)
        return;
    const auto apply = [model](const QString& filter) {
        if (filter.endsWith(QStringLiteral("(*.*)")))
            model->setNameFilters({QStringLiteral("*")});
    };
    // The dialog has set the entry's own pattern by the time this is emitted.
    QObject::connect(&dlg, &QFileDialog::filterSelected, model, apply);
    apply(dlg.selectedNameFilter());
}

} // namespace

void TQtDialogs::Message(const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Tarko"), text, QMessageBox::NoButton, parent_);
    box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.exec();
}

TAnswer TQtDialogs::Confirm(const QString& text)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Bestätigung"), text, QMessageBox::NoButton,
                    parent_);
    QPushButton* ja = box.addButton(QStringLiteral("&Ja"), QMessageBox::YesRole);
    QPushButton* nein = box.addButton(QStringLiteral("&Nein"), QMessageBox::NoRole);
    QPushButton* abbrechen = box.addButton(QStringLiteral("Abbrechen"), QMessageBox::RejectRole);
    box.setDefaultButton(ja);
    box.setEscapeButton(abbrechen);
    box.exec();
    if (box.clickedButton() == ja)
        return TAnswer::Ja;
    if (box.clickedButton() == nein)
        return TAnswer::Nein;
    return TAnswer::Abbrechen;
}

void TQtDialogs::Error(const QString& text, const QString& reason)
{
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Fehler"), text, QMessageBox::NoButton, parent_);
    box.setInformativeText(reason);
    box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.exec();
}

QString TQtDialogs::OpenFileName(const QString& startDir, const QString& filter)
{
    QFileDialog dlg(parent_, QString(), startDir, filter);
    dlg.setOption(QFileDialog::DontUseNativeDialog);
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setFileMode(QFileDialog::ExistingFile);
    dlg.setDefaultSuffix(QStringLiteral("trk"));
    ListEveryFileUnderAllFiles(dlg);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return {};
    return dlg.selectedFiles().first();
}

QString TQtDialogs::SaveFileName(const QString& startDir, const QString& fileName, const QString& filter)
{
    QFileDialog dlg(parent_, QString(), startDir, filter);
    dlg.setOption(QFileDialog::DontUseNativeDialog);
    // An existing file is replaced without asking; the save keeps it as backup.
    dlg.setOption(QFileDialog::DontConfirmOverwrite);
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setDefaultSuffix(QStringLiteral("trk"));
    dlg.selectFile(fileName);
    ListEveryFileUnderAllFiles(dlg);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return {};
    return dlg.selectedFiles().first();
}

int TQtDialogs::ShowModal(QDialog* dialog) { return dialog->exec(); }

QString TQtDialogs::PictureFileName(const QString& suggested)
{
    QFileDialog dlg(parent_, QStringLiteral("Bild speichern unter"), QString(),
                    QStringLiteral("PNG-Bilder (*.png)"));
    dlg.setOption(QFileDialog::DontUseNativeDialog);
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setDefaultSuffix(QStringLiteral("png"));
    dlg.selectFile(suggested);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return {};
    return dlg.selectedFiles().first();
}

QString TQtDialogs::HelpFileName(const QString& filter)
{
    QFileDialog dlg(parent_, QStringLiteral("Hilfedatei festlegen"), QString(), filter);
    dlg.setOption(QFileDialog::DontUseNativeDialog);
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setFileMode(QFileDialog::ExistingFile);
    dlg.setDefaultSuffix(QStringLiteral("htm"));
    ListEveryFileUnderAllFiles(dlg);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return {};
    return dlg.selectedFiles().first();
}

bool TQtDialogs::ChooseFont(QFont& font)
{
    // A name like "Courier New" stands for an installed font that the
    // dialog lists under its own name: prefill that one, and keep the name
    // when it is chosen (OK without a change leaves the font as it was).
    const QString shownFamily = QFontInfo(font).family();
    QFont shown = font;
    shown.setFamily(shownFamily);
    QFontDialog dlg(shown, parent_);
    dlg.setOption(QFontDialog::DontUseNativeDialog);
    // Without effects: the group holding underline and strike-out is hidden.
    // The sample beside it took its height from that group and would shrink
    // to nothing: it keeps that height.
    int effectsHeight = 0;
    for (QCheckBox* effect : dlg.findChildren<QCheckBox*>())
        if (QWidget* group = qobject_cast<QGroupBox*>(effect->parentWidget())) {
            effectsHeight = std::max(effectsHeight, group->sizeHint().height());
            group->hide();
        }
    for (QLineEdit* edit : dlg.findChildren<QLineEdit*>())
        if (auto* sample = qobject_cast<QGroupBox*>(edit->parentWidget()))
            sample->setMinimumHeight(effectsHeight);
    if (dlg.exec() != QDialog::Accepted)
        return false;
    QFont chosen = dlg.selectedFont();
    if (chosen.family() == shownFamily)
        chosen.setFamily(font.family());
    font = chosen;
    return true;
}

QString TQtDialogs::PrintFileName()
{
    QFileDialog dlg(parent_, QStringLiteral("In eine Datei drucken"), QString(),
                    QStringLiteral("Text Files (*.txt)"));
    dlg.setOption(QFileDialog::DontUseNativeDialog);
    dlg.setOption(QFileDialog::DontConfirmOverwrite);
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setDefaultSuffix(QStringLiteral("txt"));
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return {};
    return dlg.selectedFiles().first();
}

bool TQtDialogs::ChoosePrinter(QPrinter& printer)
{
    QPrintDialog dlg(&printer, parent_);
    return dlg.exec() == QDialog::Accepted;
}

// The print dialog as set-up dialog: printer, and under "Eigenschaften"
// paper and orientation; OK keeps the choices in the printer, prints nothing.
void TQtDialogs::PrinterSetup(QPrinter& printer)
{
    QPrintDialog dlg(&printer, parent_);
    dlg.setWindowTitle(QStringLiteral("Drucker einrichten"));
    dlg.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintShowPageSize);
    if (auto* buttons = dlg.findChild<QDialogButtonBox*>())
        if (QPushButton* ok = buttons->button(QDialogButtonBox::Ok))
            ok->setText(QStringLiteral("OK"));
    dlg.exec();
}

bool TScriptedDialogs::ChoosePrinter(QPrinter& printer)
{
    Note(QStringLiteral("Drucken"), QString());
    printerSeen = &printer;
    const QString pdf = NextPdf();
    if (pdf.isEmpty())
        return false;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    return true;
}

int TScriptedDialogs::ShowModal(QDialog* dialog)
{
    Note(QStringLiteral("Modal"), dialog->windowTitle());
    dialog->setResult(QDialog::Rejected);
    dialog->show();
    if (onShowModal)
        onShowModal(dialog);
    dialog->hide();
    return dialog->result();
}

} // namespace tarko
