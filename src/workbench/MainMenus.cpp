// The menu bar, the tool bar, the editors' pop-up menu and the enabling of
// their commands.
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QLabel>
#include <QFileInfo>

#include "editor/ColMemo.h"
#include "workbench/MainForm.h"

namespace tarko {

namespace {

// A new program's name, and the file part of a program name without
// directory and extension ("C:\Kurs\Quadrat.trk" gives "Quadrat").
QString BaseName(const QString& programName)
{
    QString name = programName;
    const qsizetype slash = std::max(name.lastIndexOf(u'/'), name.lastIndexOf(u'\\'));
    if (slash >= 0)
        name = name.mid(slash + 1);
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot >= 0)
        name.truncate(dot);
    return name;
}

} // namespace

QString ProgramCaption(const QString& programName) { return BaseName(programName); }

QAction* TMainForm::AddAction(QMenu* menu, const QString& name, const QString& caption,
                              const QKeySequence& shortcut, bool enabled)
{
    auto* a = new QAction(caption, this);
    a->setObjectName(name);
    a->setShortcut(shortcut);
    a->setEnabled(enabled);
    if (menu)
        menu->addAction(a);
    actions_.insert(name, a);
    return a;
}

// Datei and Bearbeiten commands act only while no program runs: their menus
// are disabled then, and this guard also keeps their shortcuts quiet.
void TMainForm::OnIdle(QAction* action, void (TMainForm::*handler)())
{
    connect(action, &QAction::triggered, this, [this, handler] {
        if (runState_ == 1)
            (this->*handler)();
    });
}

void TMainForm::CreateMenus()
{
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu"));
    auto addMenu = [&](const QString& name, const QString& caption) {
        QMenu* m = bar->addMenu(caption);
        m->setObjectName(name);
        m->menuAction()->setObjectName(name);
        menus_.insert(name, m);
        return m;
    };
    auto separator = [&](QMenu* m, const QString& name) {
        QAction* s = m->addSeparator();
        s->setObjectName(name);
        actions_.insert(name, s);
        return s;
    };

    // Datei
    QMenu* datei = addMenu(QStringLiteral("Datei1"), QStringLiteral("&Datei"));
    OnIdle(AddAction(datei, "Neu1", "&Neu", QKeySequence(Qt::CTRL | Qt::Key_N)), &TMainForm::Neu1Click);
    OnIdle(AddAction(datei, "Oeffnen1", "Ö&ffnen...", QKeySequence(Qt::CTRL | Qt::Key_O)),
           &TMainForm::Oeffnen1Click);
    QMenu* beispiele = datei->addMenu(QStringLiteral("&Beispielprogramm öffnen"));
    beispiele->setObjectName(QStringLiteral("Beispieleoeffnen"));
    beispiele->menuAction()->setObjectName(QStringLiteral("Beispieleoeffnen"));
    menus_.insert(QStringLiteral("Beispieleoeffnen"), beispiele);
    for (const char* example : {"Idealgewicht", "Memory", "Koordinatensystem", "Grafikdesign"}) {
        QAction* a = AddAction(beispiele, QString::fromLatin1(example) + "1", QString::fromLatin1(example));
        connect(a, &QAction::triggered, this, [this, a] {
            if (runState_ == 1)
                Idealgewicht1Click(a);
        });
    }
    OnIdle(AddAction(datei, "Speichern1", "&Speichern", QKeySequence(Qt::CTRL | Qt::Key_S), false),
           &TMainForm::Speichern1Click);
    OnIdle(AddAction(datei, "SpeichernUnter1", "Speichern &unter...", {}, false),
           &TMainForm::SpeichernUnter1Click);
    OnIdle(AddAction(datei, "Schliessen1", "S&chließen", QKeySequence(Qt::CTRL | Qt::Key_W), false),
           &TMainForm::Schliessen1Click);
    OnIdle(AddAction(datei, "AllesSchliessen1", "&Alles Schließen", {}, false),
           &TMainForm::AllesSchliessen1Click);
    OnIdle(AddAction(datei, "Drucken1", "&Drucken", QKeySequence(Qt::CTRL | Qt::Key_P), false),
           &TMainForm::Drucken1Click);
    OnIdle(AddAction(datei, "Druckereinrichten1", "D&rucker einrichten ..."), &TMainForm::Druckereinrichten1Click);
    separator(datei, "N1")->setVisible(false);
    for (int i = 1; i <= 5; ++i) {
        QAction* entry = AddAction(datei, QStringLiteral("F%1").arg(i), QString());
        entry->setVisible(false);
        connect(entry, &QAction::triggered, this, [this, i] {
            if (runState_ == 1)
                OpenProgram(Inis.Files[i - 1]);
        });
    }
    separator(datei, "N3");
    // Alt+F4 during a run meets the same refusal as the window's close box.
    // The Datei menu is disabled then, which silences the shortcuts of its
    // items, so the window carries this one itself as well.
    QAction* beenden = AddAction(datei, "Beenden1", "&Beenden", QKeySequence(Qt::ALT | Qt::Key_F4));
    addAction(beenden);
    connect(beenden, &QAction::triggered, this, &TMainForm::Beenden1Click);
    connect(datei, &QMenu::aboutToShow, this, &TMainForm::Datei1Click);

    // Bearbeiten
    QMenu* bearbeiten = addMenu(QStringLiteral("Bearbeiten1"), QStringLiteral("&Bearbeiten"));
    connect(bearbeiten, &QMenu::aboutToShow, this, &TMainForm::UpdateCaptionAndCommands);
    QAction* undo = AddAction(bearbeiten, "Rueckgaengig1", "&Rückgängig",
                              QKeySequence(Qt::ALT | Qt::Key_Backspace), false);
    separator(bearbeiten, "N8");
    QAction* cut = AddAction(bearbeiten, "Ausschneiden1", "&Ausschneiden", QKeySequence(Qt::CTRL | Qt::Key_X), false);
    QAction* copy = AddAction(bearbeiten, "Kopieren1", "&Kopieren", QKeySequence(Qt::CTRL | Qt::Key_C), false);
    QAction* paste = AddAction(bearbeiten, "Einfuegen1", "&Einfügen", QKeySequence(Qt::CTRL | Qt::Key_V), false);
    QAction* del = AddAction(bearbeiten, "Loeschen1", "&Löschen", {}, false);
    QAction* all = AddAction(bearbeiten, "Allesmarkieren1", "Alles &markieren", QKeySequence(Qt::CTRL | Qt::Key_A));
    separator(bearbeiten, "N2");
    OnIdle(AddAction(bearbeiten, "Suchen1", "&Suchen...", QKeySequence(Qt::CTRL | Qt::Key_F), false),
           &TMainForm::Suchen1Click);
    OnIdle(AddAction(bearbeiten, "Ersetzen1", "E&rsetzen...", QKeySequence(Qt::CTRL | Qt::Key_R), false),
           &TMainForm::Ersetzen1Click);
    separator(bearbeiten, "N5");
    OnIdle(AddAction(bearbeiten, "Font1", "&Schriftarten.."), &TMainForm::Font1Click);
    separator(bearbeiten, "N6");
    OnIdle(AddAction(bearbeiten, "Optionen1", "&Optionen"), &TMainForm::Optionen1Click);
    auto editCommand = [this](QAction* a, void (*op)(TColorMemo*)) {
        connect(a, &QAction::triggered, this, [this, op] { EditCommand(op); });
    };
    editCommand(undo, [](TColorMemo* e) { e->undo(); });
    editCommand(cut, [](TColorMemo* e) { e->cut(); });
    editCommand(copy, [](TColorMemo* e) { e->copy(); });
    editCommand(paste, [](TColorMemo* e) { e->paste(); });
    editCommand(del, [](TColorMemo* e) { e->textCursor().removeSelectedText(); });
    editCommand(all, [](TColorMemo* e) { e->selectAll(); });

    // Start
    QMenu* start = addMenu(QStringLiteral("Start1"), QStringLiteral("&Start"));
    QAction* run = AddAction(start, "Run1", "&Programm starten", QKeySequence(Qt::Key_F9), false);
    // Step1 is never shown in the menu; its shortcut Ctrl+F9 works through the window.
    QAction* step = AddAction(nullptr, "Step1", "&Einzelschritt", QKeySequence(Qt::CTRL | Qt::Key_F9), false);
    addAction(step);
    QAction* brk = AddAction(start, "Break1", "Programm &unterbrechen", QKeySequence(Qt::Key_Escape), false);
    connect(run, &QAction::triggered, this, &TMainForm::Run1Click);
    connect(step, &QAction::triggered, this, &TMainForm::Step1Click);
    connect(brk, &QAction::triggered, this, &TMainForm::Break1Click);

    // Hilfe
    QMenu* hilfe = addMenu(QStringLiteral("Hilfe1"), QStringLiteral("&Hilfe"));
    // Help stays available while a program runs.
    connect(AddAction(hilfe, "Inhalt1", "In&halt", QKeySequence(Qt::Key_F1)), &QAction::triggered, this,
            &TMainForm::Inhalt1Click);
    separator(hilfe, "N4");
    connect(AddAction(hilfe, "Info1", "&Info..."), &QAction::triggered, this, &TMainForm::Info1Click);
}

QAction* TMainForm::AddToolAction(const QString& name, const QString& hint, const QString& icon, bool enabled)
{
    auto* a = new QAction(QIcon(QStringLiteral(":/icons/%1.png").arg(icon)), hint, this);
    a->setObjectName(name);
    a->setToolTip(hint);
    a->setEnabled(enabled);
    toolBar_->addAction(a);
    if (QWidget* w = toolBar_->widgetForAction(a)) {
        w->setObjectName(name);
        w->setFixedSize(27, 31);
    }
    actions_.insert(name, a);
    return a;
}

void TMainForm::CreateToolBar()
{
    toolBar_ = new QToolBar(this);
    toolBar_->setObjectName(QStringLiteral("ToolBar1"));
    toolBar_->setMovable(false);
    toolBar_->setFloatable(false);
    toolBar_->setIconSize(QSize(20, 20));
    toolBar_->setFixedHeight(37);
    toolBar_->setContextMenuPolicy(Qt::PreventContextMenu);
    toolBar_->toggleViewAction()->setEnabled(false);
    addToolBar(Qt::TopToolBarArea, toolBar_);
    setContextMenuPolicy(Qt::NoContextMenu);

    auto same = [this](QAction* button, const char* menuItem) {
        QAction* item = actions_.value(QString::fromLatin1(menuItem));
        connect(button, &QAction::triggered, item, &QAction::trigger);
    };
    same(AddToolAction("Neu2", "Neue Datei", "neu", true), "Neu1");
    same(AddToolAction("Oeffnen2", "Datei öffnen", "oeffnen", true), "Oeffnen1");
    same(AddToolAction("Speichern2", "Datei Speichern", "speichern", false), "Speichern1");
    same(AddToolAction("Drucken2", "Datei drucken", "drucken", false), "Drucken1");
    toolBar_->addSeparator();
    same(AddToolAction("Ausschneiden2", "Ausschneiden", "ausschneiden", false), "Ausschneiden1");
    same(AddToolAction("Kopieren2", "Kopieren", "kopieren", false), "Kopieren1");
    same(AddToolAction("Einfuegen2", "Einfügen", "einfuegen", false), "Einfuegen1");
    same(AddToolAction("Suchen2", "Suchen", "suchen", false), "Suchen1");
    same(AddToolAction("Ersetzen2", "Ersetzen", "ersetzen", false), "Ersetzen1");
    toolBar_->addSeparator();
    connect(AddToolAction("Run2", "Programm starten", "run", false), &QAction::triggered, this,
            &TMainForm::Run1Click);
    connect(AddToolAction("Break2", "Stop", "stop", false), &QAction::triggered, this,
            &TMainForm::Break1Click);
    toolBar_->addSeparator();
    same(AddToolAction("Hilfe2", "Hilfe zum Programm", "hilfe", true), "Inhalt1");
}

void TMainForm::CreatePopupMenu()
{
    popupMenu_ = new QMenu(this);
    popupMenu_->setObjectName(QStringLiteral("PopupMenu"));
    connect(popupMenu_, &QMenu::aboutToShow, this, &TMainForm::UpdateCaptionAndCommands);

    QMenu* keywords = popupMenu_->addMenu(QStringLiteral("Befehl einfügen"));
    keywords->setObjectName(QStringLiteral("Keywords3"));
    keywords->menuAction()->setObjectName(QStringLiteral("Keywords3"));
    keywords->menuAction()->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_B));
    menus_.insert(QStringLiteral("Keywords3"), keywords);
    struct Entry {
        const char* name;
        const char* caption;  // UTF-8
        QKeyCombination key;
    };
    const Entry entries[] = {
        {"Eingabe4", "Eingabe ", Qt::ALT | Qt::Key_E},
        {"Ausgabe4", "Ausgabe ", Qt::ALT | Qt::Key_A},
        {"Zufallseingabe4", "Zufallseingabe ", Qt::ALT | Qt::Key_Z},
        {"Loeschen4", "Löschen", Qt::ALT | Qt::Key_Odiaeresis},
        {"Pause4", "Pause ", Qt::ALT | Qt::Key_B},
        {"N13", "-", {}},
        {"Punkt4", "Punkt ", Qt::ALT | Qt::Key_P},
        {"Linie4", "Linie ", Qt::ALT | Qt::Key_L},
        {"Recheck4", "Rechteck ", Qt::ALT | Qt::Key_R},
        {"Kreis4", "Kreis ", Qt::ALT | Qt::Key_K},
        {"Grafiktext4", "Grafiktext ", Qt::ALT | Qt::Key_T},
        {"Schwarz4", "Schwarz", Qt::ALT | Qt::Key_1},
        {"Grau4", "Grau", Qt::ALT | Qt::Key_2},
        {"Weiss4", "Weiß", Qt::ALT | Qt::Key_3},
        {"Rot4", "Rot", Qt::ALT | Qt::Key_4},
        {"Gelb4", "Gelb", Qt::ALT | Qt::Key_5},
        {"Gruen4", "Grün", Qt::ALT | Qt::Key_6},
        {"Blau4", "Blau", Qt::ALT | Qt::Key_7},
        {"N14", "-", {}},
        {"Wiederhole4", "Wiederhole..Bis ", Qt::ALT | Qt::Key_W},
        {"Solange4", "Solange ..Solangeende", Qt::ALT | Qt::Key_S},
        {"Falls4", "Falls ..Fallsende", Qt::ALT | Qt::Key_F},
        {"FallsAnsonsten4", "Falls ..Ansonsten..Fallsende", Qt::ALT | Qt::Key_H},
        {"N15", "-", {}},
        {"Zuweisung4", "<= ", Qt::ALT | Qt::Key_G},
        {"Und4", "Und", Qt::ALT | Qt::Key_U},
        {"Oder4", "Oder", Qt::ALT | Qt::Key_O},
    };
    for (const Entry& e : entries) {
        const QString caption = QString::fromUtf8(e.caption);
        if (caption == u"-") {
            keywords->addSeparator()->setObjectName(QString::fromLatin1(e.name));
            continue;
        }
        // "&" in a caption is an access letter in Qt; "&&" shows it literally.
        QAction* a = AddAction(keywords, QString::fromLatin1(e.name), caption, QKeySequence(e.key));
        a->setData(caption);
        // The editor handles these keys itself (they win over the menu bar's
        // access letters), so the action's own shortcut stays out of Qt's map.
        a->setShortcutContext(Qt::WidgetShortcut);
        connect(a, &QAction::triggered, this, [this, a] { Pause4Click(a); });
        insertCommands_.append(a);
    }

    popupMenu_->addSeparator();
    auto mirror = [this](const QString& name, const QString& caption, const QKeySequence& key,
                         const char* menuItem) {
        QAction* a = AddAction(popupMenu_, name, caption, key);
        a->setShortcutContext(Qt::WidgetShortcut);
        connect(a, &QAction::triggered, actions_.value(QString::fromLatin1(menuItem)), &QAction::trigger);
        return a;
    };
    mirror("Rueckgaengig3", "&Rückgängig", QKeySequence(Qt::ALT | Qt::Key_Backspace), "Rueckgaengig1")
        ->setEnabled(false);
    popupMenu_->addSeparator();
    mirror("Ausschneiden3", "&Ausschneiden", QKeySequence(Qt::CTRL | Qt::Key_X), "Ausschneiden1")->setEnabled(false);
    mirror("Kopieren3", "&Kopieren", QKeySequence(Qt::CTRL | Qt::Key_C), "Kopieren1")->setEnabled(false);
    mirror("Einfuegen3", "&Einfügen", QKeySequence(Qt::CTRL | Qt::Key_V), "Einfuegen1")->setEnabled(false);
    mirror("Loeschen3", "&Löschen", {}, "Loeschen1")->setEnabled(false);
    popupMenu_->addSeparator();
    mirror("Allesmarkieren3", "Alles &markieren", QKeySequence(Qt::CTRL | Qt::Key_A), "Allesmarkieren1");
    popupMenu_->addSeparator();
    // The pop-up's save entries stay enabled when the menu bar's are not, so
    // they call the handlers themselves.
    QAction* save3 = AddAction(popupMenu_, "Speichern3", "&Speichern");
    OnIdle(save3, &TMainForm::Speichern1Click);
    QAction* saveAs3 = AddAction(popupMenu_, "SpeichernUnter3", "Speichern unter...");
    OnIdle(saveAs3, &TMainForm::SpeichernUnter1Click);
    mirror("Schliessen3", "S&chliessen", QKeySequence(Qt::CTRL | Qt::Key_W), "Schliessen1")->setEnabled(false);
}

// UpdateCaptionAndCommands: caption, changed mark, and which file and edit
// commands make sense for the current editor.
void TMainForm::UpdateCaptionAndCommands()
{
    const int current = CurrentTabIndex();
    setWindowTitle(QStringLiteral("Tarko - ") + BaseName(fileNames_[current]));
    TColorMemo* editor = CurrentEditor();
    const bool open = lastTab_ >= 0;
    // With no tab open there is no program whose changes could be shown.
    statusPanels_[1]->setText(open && editor->Modified() ? QStringLiteral("Geändert") : QString());

    // A closed tab keeps its stale text; with no tab open nothing may be
    // saved, printed or run, so the text counts only while a tab is open.
    const bool text = open && !editor->document()->isEmpty();
    const bool selection = open && editor->textCursor().hasSelection();
    const bool clipboard = open && !QApplication::clipboard()->text().isEmpty();
    auto set = [this](std::initializer_list<const char*> names, bool on) {
        for (const char* n : names)
            if (QAction* a = actions_.value(QString::fromLatin1(n)); a && a->isEnabled() != on)
                a->setEnabled(on);
    };
    const bool idle = runState_ == 1;
    set({"Speichern1", "SpeichernUnter1", "Drucken1", "Suchen1", "Ersetzen1"}, text);
    set({"Speichern2", "Drucken2", "Suchen2", "Ersetzen2"}, text && idle);
    set({"Run1"}, text && idle);
    set({"Run2"}, text && idle);
    set({"Schliessen1", "Schliessen3", "AllesSchliessen1", "Allesmarkieren1"}, open);
    set({"Rueckgaengig1", "Rueckgaengig3"}, open && editor->document()->isUndoAvailable());
    set({"Einfuegen1", "Einfuegen3"}, clipboard);
    set({"Einfuegen2"}, clipboard && idle);
    set({"Ausschneiden1", "Kopieren1", "Loeschen1", "Ausschneiden3", "Kopieren3", "Loeschen3"}, selection);
    set({"Ausschneiden2", "Kopieren2"}, selection && idle);
}

QAction* TMainForm::Action(const QString& componentName) const { return actions_.value(componentName); }

QMenu* TMainForm::Menu(const QString& componentName) const { return menus_.value(componentName); }

QToolButton* TMainForm::ToolButton(const QString& componentName) const
{
    return qobject_cast<QToolButton*>(toolBar_->widgetForAction(actions_.value(componentName)));
}

QWidget* TMainForm::EditPanel() const { return pEdit_; }

QWidget* TMainForm::RunPanelHolder() const { return pRun_; }

} // namespace tarko
