#pragma once
// The main window: tool bar, editor panel with five program tabs and the
// message line, the run panel with the device, and the status bar. Its
// commands live in separate files by area: MainMenus.cpp (menus, tool bar,
// command enabling), Tabs.cpp (the tab model, editor events), RunControl.cpp
// (Run, Step, Stop, run state, message line), Programs.cpp (program files,
// examples), Edit.cpp (find, replace, font), Print.cpp, Help.cpp (help file,
// about box, options).
#include <QApplication>
#include <QHash>
#include <QMainWindow>
#include <array>
#include <functional>
#include <memory>
#include <string>

#include "workbench/Dialogs.h"
#include "workbench/Settings.h"

class QAction;
class QDialog;
class QImage;
class QFrame;
class QLabel;
class QMenu;
class QPrinter;
class QTabWidget;
class QToolBar;
class QToolButton;

namespace tarko {

class TColorMemo;
enum class TColourScheme;
class TIdeForm;
class TInfoForm;
class TOptionForm;
class TAnnouncer;
class TRunPanel;

class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int TabCount = 5;
    static constexpr int RunPanelWidth = 315;
    // The window's size at 100 % when the store has no place for it.
    static constexpr int DesignWidth = 680;
    static constexpr int DesignHeight = 521;

    // The form owns the dialogs; without one it uses the real message boxes.
    explicit TMainForm(std::unique_ptr<TDialogs> dialogs = nullptr, QWidget* parent = nullptr);
    ~TMainForm() override;

    // Editor tabs.
    TColorMemo* CurrentEditor() const;
    int CurrentTabIndex() const;
    TColorMemo* EditorAt(int index) const;
    void ActivateTab(int index);
    void OpenTab(const QString& programName);
    bool CloseCurrentTab();
    void AllesSchliessen1Click();
    void UpdateCaptionAndCommands();
    void ShowCaretPosition();
    void ApplyTabStops();
    int LastTab() const { return lastTab_; }
    QString FileName(int index) const { return fileNames_.at(index); }

    // Program files (Programs.cpp).
    bool OpenProgram(const QString& programName);  // empty: the open dialog asks
    bool SaveProgram();                            // true when saved
    bool SaveProgramAs();                          // false when the dialog was cancelled
    void AddRecentFile(const QString& name);
    void Datei1Click();
    bool OpenExample(const QString& exampleName);
    void OpenCommandLineFile(const QStringList& arguments);
    // Where the next open dialog starts (the project folder, when set).
    void SetOpenDialogDir(const QString& dir) { openDialogDir_ = dir; }

    // The settings, read when the window is created, written when it closes.
    TInis Inis;

    // Find, replace, font.
    void Suchen1Click();
    void Ersetzen1Click();
    void FindDialogFind();
    void FindNext(const QString& text);
    void ReplaceDialogReplace(bool all);
    void Font1Click();
    void FormatSource();
    QDialog* FindDialog() const { return findDialog_; }
    QDialog* ReplaceDialog() const { return replaceDialog_; }

    // Printing: one printer for the run, made when first needed.
    void Drucken1Click();
    void Druckereinrichten1Click();
    QPrinter& Printer();
    bool PrinterMade() const { return bool(printer_); }

    // Hilfe menu and options.
    void Inhalt1Click();
    void Info1Click();
    void Optionen1Click();
    std::function<void()> beep = [] { QApplication::beep(); };

    // The device screen's context menu (Screen.cpp).
    void BildSpeichern1Click();
    void AusgabeKopieren1Click();
    void BildOriginal1Click();   // only in the menu while zoomed
    QMenu* ScreenMenu() const { return screenMenu_; }

    // The zoom in percent, one of the levels 100 ... 300 (ZoomCommands.cpp).
    int Zoom() const { return zoom_; }
    void SetZoom(int percent);
    void StepZoomBy(int direction);   // > 0 in, < 0 out, 0 back to 100 %

    // Run control.
    int RunState() const { return runState_; }
    void SetRunState(int state);
    void ShowMessageLine(int kind, const QString& text);
    // The colours of Inis.HighContrast, for editors and message line.
    void ApplyColourScheme();
    void ShowCompileError(const std::string& message, int line, int column);
    // The program line of the next single step, marked and scrolled into
    // view; -1 removes the mark.
    void ShowStepLine(int line);
    // The line a run-time fault happened in: caret at its start, marked
    // until the next edit or run.
    void ShowFaultLine(int line);
    void Run1Click();
    void Step1Click();
    void Break1Click();

    // Parts, by component name, for the other windows and for tests.
    QAction* Action(const QString& componentName) const;
    QMenu* Menu(const QString& componentName) const;
    QToolButton* ToolButton(const QString& componentName) const;
    QLabel* MessageLine() const { return lMeldung_; }
    QLabel* EmptyHint() const { return emptyHint_; }
    QTabWidget* TabControl() const { return pcEdit_; }
    QLabel* StatusPanel(int index) const { return statusPanels_.at(index); }
    QWidget* EditPanel() const;
    QWidget* RunPanelHolder() const;
    TRunPanel* RunPanel() const { return runPanel_; }
    TIdeForm* IdeForm() const { return ideForm_; }
    TInfoForm* InfoForm() const { return infoForm_; }
    TOptionForm* OptionForm() const { return optionForm_; }
    TDialogs& Dialogs() const { return *dialogs_; }
    QMenu* PopupMenu() const { return popupMenu_; }

protected:
    void closeEvent(QCloseEvent* e) override;      // FormCloseQuery, FormClose
    void resizeEvent(QResizeEvent* e) override;    // FormResize
    void showEvent(QShowEvent* e) override;        // a stored zoom fitted with the frame
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    // Construction steps.
    void CreateRegions();
    void CreateEditors();
    void EnableOpenPages();   // only the pages of open tabs are enabled
    void CreateEmptyHint();
    void ShowEmptyHint();   // shown and focused while no program is open
    void CreateScreenMenu();
    QString PictureSuggestion() const;
    void CreateMenus();
    void CreateToolBar();
    void CreatePopupMenu();
    void CreateIdeForm();
    void CreateInfoAndOptions();
    void FormResize();
    int FitMessageLine(int width);
    void ReadSettingsAtStart();
    void ApplyEditorFont();
    void CreateZoomActions();
    void ApplyZoom(int percent, bool scaleWindow);
    void ApplyDeviceZoom();
    void PlaceZoomedWindow(bool untouched, bool fromStore);
    QFont ZoomedEditorFont() const;
    QFont UnzoomedEditorFont() const;
    int ZoomedTabStopPixels() const;
    int ChromeHeight() const;
    int DeviceZoom() const;
    int RunPanelWidthNow() const;
    bool ZoomWheel(QObject* watched, QEvent* e);
    void SavePicture(const QImage& picture);

    QAction* AddAction(QMenu* menu, const QString& name, const QString& caption,
                       const QKeySequence& shortcut = {}, bool enabled = true);
    QAction* AddToolAction(const QString& name, const QString& hint, const QString& icon,
                           bool enabled);
    void OnIdle(QAction* action, void (TMainForm::*handler)());
    void ConnectEditor(TColorMemo* editor);
    bool EditorEvent(TColorMemo* editor, QEvent* e);
    bool TabStepEvent(QObject* watched, QEvent* e);
    void AutoIndent();
    void DeleteCaretLine(TColorMemo* editor);
    void FocusEditor();
    void SetTabCaption(int index, const QString& caption);
    void Neu1Click();
    void Oeffnen1Click();
    void Speichern1Click();
    void SpeichernUnter1Click();
    bool PromptWhenAllTabsInUse();
    bool SaveTab(int index);
    bool SaveTabAs(int index);
    void Schliessen1Click();
    void Beenden1Click();
    void Idealgewicht1Click(QAction* entry);
    void Pause4Click(QAction* entry);
    void EditCommand(void (*op)(TColorMemo*));
    void RunGuarded(int mode);

    std::unique_ptr<TDialogs> dialogs_;
    QHash<QString, QAction*> actions_;
    QHash<QString, QMenu*> menus_;
    QToolBar* toolBar_ = nullptr;
    QFrame* pEdit_ = nullptr;
    QWidget* pRun_ = nullptr;
    QTabWidget* pcEdit_ = nullptr;
    QWidget* pMeldung_ = nullptr;
    QLabel* lMeldung_ = nullptr;
    QLabel* emptyHint_ = nullptr;   // where the tabs would be while none is open
    std::array<QLabel*, 3> statusPanels_{};
    std::array<QWidget*, TabCount> tabSheets_{};
    std::array<TColorMemo*, TabCount> editors_{};
    std::array<QString, TabCount> fileNames_;
    QMenu* popupMenu_ = nullptr;
    QMenu* screenMenu_ = nullptr;
    QList<QAction*> insertCommands_;
    TRunPanel* runPanel_ = nullptr;
    TAnnouncer* announcer_ = nullptr;   // what a screen reader hears besides the focus
    // Told after the run's output once the run has ended ("Programm beendet"
    // after Esc), so that neither announcement cuts the other short.
    QString endNote_;
    TIdeForm* ideForm_ = nullptr;
    TInfoForm* infoForm_ = nullptr;
    TOptionForm* optionForm_ = nullptr;
    QDialog* findDialog_ = nullptr;
    QDialog* replaceDialog_ = nullptr;
    std::unique_ptr<QPrinter> printer_;
    QString openDialogDir_;
    QString lastDialogDir_;
    int lastTab_ = -1;
    int runState_ = 1;
    TColourScheme colourScheme_{};   // Standard
    int messageKind_ = 1;            // what the message line shows, for a new scheme
    QString messageText_;
    bool enterPressed_ = false;
    int zoom_ = 100;
    int wheelRest_ = 0;
    QRect unzoomedGeometry_;
    QRect zoomedGeometry_;
    bool refitOnShow_ = false;   // a stored zoom, placed before the frame was known
    QList<QAction*> zoomActions_;
};

} // namespace tarko
