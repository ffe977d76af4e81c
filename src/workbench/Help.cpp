// The Hilfe menu and the Optionen item: the HTML help file, the about box,
// the options dialog.
#include <QApplication>
#include <QDesktopServices>
#include <QProcess>
#include <QUrl>

#include "workbench/Info.h"
#include "workbench/MainForm.h"
#include "workbench/Option.h"

namespace tarko {

// Inhalt1Click: the help file in the desktop's browser, else in a browser
// found by name.
void TMainForm::Inhalt1Click()
{
    if (Inis.HilfeDir.isEmpty()) {
        dialogs_->Message(QStringLiteral(
            "Die Hilfedatei im HTML-Format ist noch nicht unter Bearbeiten->Optionen eingetragen!"));
        return;
    }
    if (beep)
        beep();
    if (QDesktopServices::openUrl(QUrl::fromLocalFile(Inis.HilfeDir)))
        return;
    for (const char* browser : {"xdg-open", "x-www-browser", "firefox", "chromium", "netscape.exe", "iexplore.exe"})
        if (QProcess::startDetached(QString::fromLatin1(browser), {Inis.HilfeDir}))
            return;
    dialogs_->Message(QStringLiteral("Leider konnte kein Web-Browser auf Ihrem System gefunden werden!"));
}

void TMainForm::Info1Click()
{
    CenterOnScreen(infoForm_, this);
    dialogs_->ShowModal(infoForm_);
}

void TMainForm::Optionen1Click()
{
    CenterOnScreen(optionForm_, this);
    dialogs_->ShowModal(optionForm_);
}

void TMainForm::CreateInfoAndOptions()
{
    infoForm_ = new TInfoForm(this);
    optionForm_ = new TOptionForm(Inis, *dialogs_, [this] {
        ApplyTabStops();
        SetOpenDialogDir(Inis.ProjectDir);
        ApplyColourScheme();
    }, this);
}

} // namespace tarko
