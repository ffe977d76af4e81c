#include "workbench/MainForm.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPrinter>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>
#include <QVBoxLayout>
#include <utility>

#include "editor/ColMemo.h"
#include "language/Cp1252.h"
#include "language/FrontEndOutput.h"
#include "runtime/Ide.h"
#include "runtime/RunPanel.h"
#include "workbench/Accessible.h"
#include "workbench/Dialogs.h"

// The pictures and examples are compiled into this static library; the
// reference keeps the linker from dropping them.
static void InitWorkbenchResources() { Q_INIT_RESOURCE(workbench); }

namespace tarko {

namespace {
constexpr int StatusBarHeight = 20;
constexpr int MinWidth = 580;
constexpr int MinHeight = 470;
const QString NewProgramName = QStringLiteral("Programm.trk");
} // namespace

TMainForm::TMainForm(std::unique_ptr<TDialogs> dialogs, QWidget* parent)
    : QMainWindow(parent), dialogs_(std::move(dialogs))
{
    setObjectName(QStringLiteral("MainForm"));
    InitWorkbenchResources();
    // Before the first label changes: screen readers may already be asking.
    InstallAccessibleFactory();
    if (!dialogs_)
        dialogs_ = std::make_unique<TQtDialogs>(this);
    setMinimumSize(MinWidth, MinHeight);
    CreateRegions();
    announcer_ = new TAnnouncer(this);
    runPanel_->announce = [this](const QString& text) { announcer_->Announce(text); };
    CreateEditors();
    CreateEmptyHint();
    CreateMenus();
    CreateToolBar();
    CreatePopupMenu();
    CreateScreenMenu();
    CreateZoomActions();

    // FormCreate: no tab open, every tab holds a new program, idle.
    lastTab_ = -1;
    fileNames_.fill(NewProgramName);
    for (int i = 0; i < TabCount; ++i)
        pcEdit_->setTabVisible(i, false);
    EnableOpenPages();
    ShowEmptyHint();
    pcEdit_->hide();
    SetRunState(1);
    ReadSettingsAtStart();
    // A stored zoom: the stored window place already fits it.
    ApplyZoom(Inis.Zoom, false);
    ApplyColourScheme();
    // The other windows, in the order of start-up.
    CreateInfoAndOptions();
    CreateIdeForm();
    // Einfügen follows the clipboard, whoever changed it.
    connect(QApplication::clipboard(), &QClipboard::dataChanged, this, &TMainForm::UpdateCaptionAndCommands);
    NameControls(this);
    NameControls(ideForm_);
    // Keys reach the window before its controls (number input during a run).
    qApp->installEventFilter(this);
}

TMainForm::~TMainForm()
{
    qApp->removeEventFilter(this);
    SetFrontEndOutput({});
    delete ideForm_;
}

// The settings: directories, tab width, indentation and formatting, recent
// files, editor font; the window centred at its design size unless the
// store has a place for it.
void TMainForm::ReadSettingsAtStart()
{
    TFormPos pos;
    Inis = ReadSettings(&pos);
    if (!Inis.ProjectDir.isEmpty())
        SetOpenDialogDir(Inis.ProjectDir);
    ApplyEditorFont();
    resize(DesignWidth, DesignHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    if (pos.saved) {
        // Values from a damaged store or another screen must not give a
        // giant window or one that cannot be seen.
        QList<QRect> areas;
        if (const QScreen* primary = QGuiApplication::primaryScreen())
            areas.append(primary->availableGeometry());
        for (const QScreen* screen : QGuiApplication::screens())
            if (screen != QGuiApplication::primaryScreen())
                areas.append(screen->availableGeometry());
        const QRect fitted = FitWindowRect(pos.rect, areas, QSize(MinWidth, MinHeight));
        move(fitted.topLeft());
        resize(fitted.size());
    }
}

void TMainForm::ApplyEditorFont()
{
    for (TColorMemo* editor : editors_)
        editor->setFont(ZoomedEditorFont());
    ApplyTabStops();
}

// The editor panel on the left (tabs over the message line), the run panel
// on the right, the status bar with its three panels at the bottom.
void TMainForm::CreateRegions()
{
    auto* client = new QWidget(this);
    setCentralWidget(client);

    pEdit_ = new QFrame(client);
    pEdit_->setObjectName(QStringLiteral("P_Edit"));
    pEdit_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    pEdit_->setLineWidth(1);

    pcEdit_ = new QTabWidget(pEdit_);
    pcEdit_->setObjectName(QStringLiteral("PC_Edit"));
    pcEdit_->setDocumentMode(false);

    pMeldung_ = new QWidget(pEdit_);
    pMeldung_->setObjectName(QStringLiteral("P_Meldung"));
    lMeldung_ = new QLabel(pMeldung_);
    lMeldung_->setObjectName(QStringLiteral("L_Meldung"));
    lMeldung_->setAlignment(Qt::AlignCenter);
    lMeldung_->setAutoFillBackground(true);
    QFont f = lMeldung_->font();
    f.setBold(true);
    f.setPixelSize(15);
    lMeldung_->setFont(f);

    pRun_ = new QWidget(client);
    pRun_->setObjectName(QStringLiteral("P_Run"));
    runPanel_ = new TRunPanel(pRun_);
    runPanel_->move(0, 0);

    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar"));
    bar->setFixedHeight(StatusBarHeight);
    bar->setSizeGripEnabled(true);
    const int widths[3] = {90, 70, 60};
    for (int i = 0; i < 3; ++i) {
        auto* panel = new QLabel(bar);
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        panel->setFixedWidth(widths[i]);
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        bar->addWidget(panel);
        statusPanels_[i] = panel;
    }
}

void TMainForm::CreateEditors()
{
    for (int i = 0; i < TabCount; ++i) {
        auto* sheet = new QWidget;
        sheet->setObjectName(QStringLiteral("TabSheet%1").arg(i + 1));
        auto* editor = new TColorMemo(sheet);
        editor->setObjectName(QStringLiteral("CMemo%1").arg(i + 1));
        ApplyProgramEditorScheme(*editor);
        // FormCreate: editors 2 to 5 get the rule set of editor 1.
        if (i > 0)
            editor->SetColorRules(editors_[0]->ColorRules());
        auto* layout = new QVBoxLayout(sheet);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(editor);
        tabSheets_[i] = sheet;
        editors_[i] = editor;
        pcEdit_->addTab(sheet, QString());
        SetTabCaption(i, QStringLiteral("Editor %1").arg(i + 1));
        ConnectEditor(editor);
    }
    connect(pcEdit_, &QTabWidget::currentChanged, this, [this] {
        // PC_EditChange
        UpdateCaptionAndCommands();
        ShowCaretPosition();
    });
}

// The debug view and the compile-and-run driver, and the one place where
// the language system's outputs are connected to the windows.
void TMainForm::CreateIdeForm()
{
    TIdeHooks hooks;
    hooks.programText = [this] { return CurrentEditor()->WinText(); };
    hooks.setRunState = [this](int state) { SetRunState(state); };
    // The run's output is told once the focus is back, or the focus change
    // would cut it short.
    hooks.focusEditor = [this] {
        FocusEditor();
        runPanel_->AnnounceOutput(std::exchange(endNote_, QString()));
    };
    hooks.showFault = [this](const QString& text) { dialogs_->Error(text); };
    hooks.showInternalError = [this](const QString& text) { dialogs_->Message(text); };
    hooks.autoFormat = [this] {
        if (Inis.AutoFormat)
            FormatSource();
    };
    hooks.markLine = [this](TIdeHooks::LineMark kind, int line) {
        if (kind == TIdeHooks::LineMark::Fault)
            ShowFaultLine(line);
        else
            ShowStepLine(line);
    };
    ideForm_ = new TIdeForm(runPanel_, std::move(hooks));
    // Menu shortcuts work while the debug view has the focus (Ctrl+F9, Esc).
    // Not Beenden's Alt+F4: there it closes the debug view, the window that
    // has the focus, as the desktop's own Alt+F4 would.
    for (QAction* a : std::as_const(actions_))
        if (!a->shortcut().isEmpty() && a != actions_.value(QStringLiteral("Beenden1")))
            ideForm_->addAction(a);
    auto* closeIde = new QAction(ideForm_);
    closeIde->setObjectName(QStringLiteral("IdeFormClose"));
    closeIde->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F4));
    connect(closeIde, &QAction::triggered, ideForm_, &QWidget::close);
    ideForm_->addAction(closeIde);

    FrontEndOutput out;
    out.compileError = [this](const std::string& message, int line, int column) {
        ShowCompileError(message, line, column);
    };
    TIdeForm* ide = ideForm_;
    out.listing = [ide](const std::string& text) { ide->AddDebugText(text); };
    out.internalError = [this](const std::string& text) {
        dialogs_->Message(QString::fromStdString(Cp1252ToUtf8(text)));
    };
    SetFrontEndOutput(std::move(out));
}

// A tab's caption, and the name its editor has for screen readers.
void TMainForm::SetTabCaption(int index, const QString& caption)
{
    pcEdit_->setTabText(index, caption);
    editors_[index]->setAccessibleName(EditorAccessibleName(caption));
}

void TMainForm::FocusEditor()
{
    if (TColorMemo* editor = CurrentEditor(); editor && editor->isEnabled())
        editor->setFocus(Qt::OtherFocusReason);
}

// FormResize: the window keeps its minimum size, also where the window
// system takes the minimum only as a hint; the editor panel takes the
// client width less the run panel's 315 pixels (at least 100); the run
// panel takes the rest.
void TMainForm::FormResize()
{
    if (width() < MinWidth || height() < MinHeight)
        resize(std::max(width(), MinWidth), std::max(height(), MinHeight));
    QWidget* client = centralWidget();
    if (!client)
        return;
    const int w = client->width();
    const int h = client->height();
    const int editWidth = std::max(100, w - RunPanelWidthNow());
    pEdit_->setGeometry(0, 0, editWidth, h);
    pRun_->setGeometry(editWidth, 0, std::max(0, w - editWidth), h);
    const QRect inner = pEdit_->contentsRect();
    const int lineHeight = FitMessageLine(inner.width());
    pcEdit_->setGeometry(inner.x(), inner.y(), inner.width(), std::max(0, inner.height() - lineHeight));
    const int hintWidth = std::max(0, inner.width() - 16);
    emptyHint_->setGeometry(inner.x() + 8, inner.y() + 6, hintWidth, emptyHint_->heightForWidth(hintWidth));
    pMeldung_->setGeometry(inner.x(), inner.bottom() + 1 - lineHeight, inner.width(), lineHeight);
    lMeldung_->setGeometry(0, 0, inner.width(), lineHeight);
}

void TMainForm::resizeEvent(QResizeEvent* e)
{
    QMainWindow::resizeEvent(e);
    FormResize();
}

// FormCloseQuery and FormClose.
void TMainForm::closeEvent(QCloseEvent* e)
{
    if (runState_ != 1) {
        e->ignore();
        dialogs_->Message(QStringLiteral(
            "Das laufende Programm muss erst mit dem Stopp-Knopf oder der Esc-Taste beendet werden!"));
        return;
    }
    const int open = lastTab_ + 1;
    for (int i = 0; i < open; ++i) {
        if (!CloseCurrentTab()) {
            UpdateCaptionAndCommands();
            e->ignore();
            return;
        }
    }
    if (ideForm_)
        ideForm_->close();
    // FormClose
    WriteSettings(Inis, QRect(pos(), size()));
    e->accept();
}

bool TMainForm::eventFilter(QObject* watched, QEvent* e)
{
    if (TabStepEvent(watched, e) || ZoomWheel(watched, e))
        return true;
    for (TColorMemo* editor : editors_)
        if (watched == editor || watched == editor->viewport()) {
            if (EditorEvent(editor, e))
                return true;
            break;
        }
    // FormKeyPress: during a normal run every key typed in this window feeds
    // the number input first; the key is not consumed. Seen once, at the
    // widget that has the focus (not again while it propagates to parents).
    if (e->type() == QEvent::KeyPress && runState_ == 3 && watched->isWidgetType()) {
        auto* w = static_cast<QWidget*>(watched);
        if (w->window() == this && (w == QApplication::focusWidget() || (!QApplication::focusWidget() && w == this)))
            runPanel_->FormKeyPress(static_cast<QKeyEvent*>(e));
    }
    return QMainWindow::eventFilter(watched, e);
}

} // namespace tarko
