// The context menu of the device's screen: keep what a program drew (a PNG
// picture of the canvas) and what it printed (the console text on the
// clipboard). Both wait until no program runs.
#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QMenu>

#include "editor/WinText.h"
#include "runtime/Canvas.h"
#include "runtime/RunPanel.h"
#include "runtime/ZoomLevels.h"
#include "workbench/Dialogs.h"
#include "workbench/MainForm.h"

namespace tarko {

void TMainForm::CreateScreenMenu()
{
    screenMenu_ = new QMenu(this);
    screenMenu_->setObjectName(QStringLiteral("ScreenMenu"));
    OnIdle(AddAction(screenMenu_, QStringLiteral("BildSpeichern1"), QStringLiteral("Bild speichern unter...")),
           &TMainForm::BildSpeichern1Click);
    OnIdle(AddAction(screenMenu_, QStringLiteral("AusgabeKopieren1"), QStringLiteral("Ausgabe kopieren")),
           &TMainForm::AusgabeKopieren1Click);
    runPanel_->SetScreenMenu([this](const QPoint& globalPos) { screenMenu_->popup(globalPos); });
}

// The suggested name: the current program's name with ".png", in the
// program's folder (a new or example program: where the last dialog was).
QString TMainForm::PictureSuggestion() const
{
    const QFileInfo program(fileNames_[CurrentTabIndex()]);
    const QString name = (lastTab_ < 0 ? QStringLiteral("Bild") : program.completeBaseName()) +
                         QStringLiteral(".png");
    QString dir = lastDialogDir_;
    if (lastTab_ >= 0 && program.isAbsolute())
        dir = program.absolutePath();
    else if (!openDialogDir_.isEmpty())
        dir = openDialogDir_;
    return dir.isEmpty() ? name : QDir(dir).filePath(name);
}

// The picture as the screen shows it: 200 x 200 at 100 %, enlarged when
// the window is zoomed.
void TMainForm::BildSpeichern1Click()
{
    SavePicture(runPanel_->Zoom() == NoZoom ? runPanel_->PanelCanvas().Picture() : runPanel_->ShownPicture());
}

// Offered only while zoomed: the picture at its own 200 x 200 pixels.
void TMainForm::BildOriginal1Click()
{
    SavePicture(runPanel_->PanelCanvas().Picture());
}

void TMainForm::SavePicture(const QImage& picture)
{
    const QString name = dialogs_->PictureFileName(PictureSuggestion());
    if (name.isEmpty())
        return;
    if (!picture.save(name, "PNG"))
        dialogs_->Error(QStringLiteral("Datei %1 kann nicht gespeichert werden").arg(name));
}

void TMainForm::AusgabeKopieren1Click()
{
    QGuiApplication::clipboard()->setText(FromWinText(runPanel_->ConsoleText()));
}

} // namespace tarko
