#include "workbench/Option.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>

#include "workbench/Dialogs.h"
#include "workbench/Print.h"
#include "workbench/Settings.h"

namespace tarko {

namespace {

QPushButton* Button(QWidget* parent, const char* name, const QString& caption, QRect where)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(where);
    return b;
}

QLineEdit* Edit(QWidget* parent, const char* name, const QString& text, QRect where)
{
    auto* e = new QLineEdit(text, parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setGeometry(where);
    return e;
}

QCheckBox* Check(QWidget* parent, const char* name, const QString& caption, QRect where)
{
    auto* c = new QCheckBox(caption, parent);
    c->setObjectName(QString::fromLatin1(name));
    c->setGeometry(where);
    return c;
}

// The fixed layouts of these dialogs were drawn for "MS Sans Serif" 8 pt;
// with the wider default font the longest captions would be cut off.
QFont DialogFont()
{
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    font.setPixelSize(11);
    return font;
}

// A screen reader hears a folder's name and its depth, which the list
// shows by indenting with blanks.
void SayFolder(QListWidgetItem* item, const QString& name, int depth)
{
    item->setData(Qt::AccessibleTextRole, name);
    item->setData(Qt::AccessibleDescriptionRole, QStringLiteral("Ebene %1").arg(depth + 1));
}

QGroupBox* Group(QWidget* parent, const QString& caption, QRect where)
{
    auto* g = new QGroupBox(caption, parent);
    g->setGeometry(where);
    return g;
}

} // namespace

void CenterOnScreen(QWidget* dialog, const QWidget* reference)
{
    const QScreen* screen = reference->screen();
    if (!screen)
        return;
    QRect place(QPoint(), dialog->frameGeometry().size());
    place.moveCenter(screen->availableGeometry().center());
    dialog->move(place.topLeft());
}

// ---- folder picker ----------------------------------------------------------

TDirListForm::TDirListForm(QWidget* parent) : QDialog(parent), folder_(QDir::current())
{
    setObjectName(QStringLiteral("DirListForm"));
    setWindowTitle(QStringLiteral("Verzeichnis"));
    setFont(DialogFont());
    setFixedSize(260, 280);
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("DirectoryListBox1"));
    list_->setGeometry(8, 8, 244, 226);
    connect(list_, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { OpenFolder(item->data(Qt::UserRole).toString()); });
    connect(Button(this, "B_OK", QStringLiteral("&OK"), {48, 244, 75, 25}), &QPushButton::clicked, this,
            &QDialog::accept);
    connect(Button(this, "B_Cancel", QStringLiteral("&Abbruch"), {136, 244, 75, 25}), &QPushButton::clicked,
            this, &QDialog::reject);
    Fill();
}

void TDirListForm::OpenFolder(const QString& path)
{
    const QDir dir(path);
    if (!dir.exists())
        return;
    folder_ = QDir(dir.absolutePath());
    Fill();
}

void TDirListForm::Fill()
{
    list_->clear();
    // The folders from the root down to the open one, then its sub-folders.
    QStringList chain;
    QDir up = folder_;
    do
        chain.prepend(up.absolutePath());
    while (up.cdUp());
    int depth = 0;
    for (const QString& path : std::as_const(chain)) {
        const QString name = depth == 0 ? path : QDir(path).dirName();
        auto* item = new QListWidgetItem(QString(depth * 2, u' ') + name, list_);
        item->setData(Qt::UserRole, path);
        SayFolder(item, name, depth);
        ++depth;
    }
    list_->setCurrentRow(list_->count() - 1);
    const QStringList subs = folder_.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QString& sub : subs) {
        auto* item = new QListWidgetItem(QString(depth * 2, u' ') + sub, list_);
        item->setData(Qt::UserRole, folder_.absoluteFilePath(sub));
        SayFolder(item, sub, depth);
    }
}

// ---- options dialog ---------------------------------------------------------

TOptionForm::TOptionForm(TInis& inis, TDialogs& dialogs, std::function<void()> applied, QWidget* parent)
    : QDialog(parent), inis_(inis), dialogs_(dialogs), applied_(std::move(applied))
{
    setObjectName(QStringLiteral("OptionForm"));
    setWindowTitle(QStringLiteral("Tarko - Optionen"));
    setFont(DialogFont());
    setFixedSize(310, 202);
    pcOption_ = new QTabWidget(this);
    pcOption_->setObjectName(QStringLiteral("PC_Option"));
    pcOption_->setGeometry(6, 6, 298, 156);

    auto* editor = new QWidget;
    QGroupBox* g = Group(editor, QStringLiteral(" Editor "), {6, 4, 280, 112});
    new QLabel(QStringLiteral("Tabs"), g);
    g->findChild<QLabel*>()->setGeometry(12, 24, 40, 20);
    eTabs_ = Edit(g, "E_Tabs", QStringLiteral("2"), {56, 22, 40, 22});
    eTabs_->installEventFilter(this);
    cbAutoTab_ = Check(g, "CB_AutoTab", QStringLiteral("automatisch einrücken"), {12, 52, 260, 20});
    cbAutoFormat_ = Check(g, "CB_AutoFormat", QStringLiteral("Text nach dem Start automatisch formatieren"),
                          {12, 78, 266, 20});
    pcOption_->addTab(editor, QStringLiteral("Editor"));

    auto* dirs = new QWidget;
    QGroupBox* project = Group(dirs, QStringLiteral(" Projektverzeichnis "), {6, 2, 280, 54});
    eProjektDir_ = Edit(project, "E_ProjektDir", QString(), {10, 22, 226, 22});
    QPushButton* bProjekt = Button(project, "B_Projekt", QStringLiteral("..."), {242, 21, 28, 24});
    QGroupBox* help = Group(dirs, QStringLiteral(" Hilfedatei "), {6, 60, 280, 54});
    eHilfeDir_ = Edit(help, "E_HilfeDir", QString(), {10, 22, 226, 22});
    QPushButton* bHilfe = Button(help, "B_Hilfe", QStringLiteral("..."), {242, 21, 28, 24});
    pcOption_->addTab(dirs, QStringLiteral("Verzeichnisse"));

    auto* print = new QWidget;
    QGroupBox* opts = Group(print, QStringLiteral(" Optionen"), {6, 4, 280, 112});
    auto* margin = new QLabel(QStringLiteral("Linker  Rand:"), opts);
    margin->setGeometry(12, 24, 80, 20);
    eLinkerRand_ = Edit(opts, "E_LinkerRand", QStringLiteral("5"), {96, 22, 40, 22});
    cbZeilenNr_ = Check(opts, "CB_ZeilenNr", QStringLiteral("Zeilennummern"), {12, 52, 200, 20});
    cbDateiDruck_ = Check(opts, "CB_DateiDruck", QStringLiteral("In eine Datei drucken"), {12, 78, 200, 20});
    pcOption_->addTab(print, QStringLiteral("Drucken"));

    // A page of its own, so the three pages above look as they always did.
    auto* view = new QWidget;
    QGroupBox* colours = Group(view, QStringLiteral(" Farben "), {6, 4, 280, 112});
    cbKontrast_ = Check(colours, "CB_Kontrast", QStringLiteral("Kontrastreiche Farben"), {12, 22, 260, 20});
    auto* hint = new QLabel(QStringLiteral("Dunklere Farbtöne im Editor und in der\n"
                                           "Meldungszeile, gut lesbar auch bei\n"
                                           "schwachen Augen und blassen Beamern."),
                            colours);
    hint->setObjectName(QStringLiteral("L_Kontrast"));
    hint->setGeometry(30, 46, 244, 52);
    hint->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    pcOption_->addTab(view, QStringLiteral("Ansicht"));
    // The first opening shows the folders; later ones the page last shown.
    pcOption_->setCurrentIndex(1);

    QPushButton* ok = Button(this, "B_OK", QStringLiteral("&OK"), {70, 170, 75, 25});
    QPushButton* cancel = Button(this, "B_Cancel", QStringLiteral("&Abbruch"), {165, 170, 75, 25});
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &TOptionForm::B_OKClick);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    dirList_ = new TDirListForm(this);
    connect(bProjekt, &QPushButton::clicked, this, [this] {
        // B_ProjektClick: the chosen folder goes into the field only.
        CenterOnScreen(dirList_, parentWidget() ? parentWidget() : this);
        if (dialogs_.ShowModal(dirList_) == QDialog::Accepted)
            eProjektDir_->setText(dirList_->Folder());
    });
    connect(bHilfe, &QPushButton::clicked, this, [this] {
        const QString file =
            dialogs_.HelpFileName(QStringLiteral("HTM (*.htm);;HTML (*.html);;Alle Dateien (*.*)"));
        if (!file.isEmpty())
            eHilfeDir_->setText(file);
    });
    // Created at start-up: the stored folders are in the fields from the beginning.
    eProjektDir_->setText(inis_.ProjectDir);
    eHilfeDir_->setText(inis_.HilfeDir);
}

void TOptionForm::showEvent(QShowEvent* e)
{
    cbAutoTab_->setChecked(inis_.AutoTab);
    cbAutoFormat_->setChecked(inis_.AutoFormat);
    eTabs_->setText(QString::number(inis_.Tabs));
    eProjektDir_->setText(inis_.ProjectDir);
    eHilfeDir_->setText(inis_.HilfeDir);
    cbKontrast_->setChecked(inis_.HighContrast);
    QDialog::showEvent(e);
}

// E_AppYKeyPress: only digits and control characters reach the Tabs field.
bool TOptionForm::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == eTabs_ && e->type() == QEvent::KeyPress) {
        const QString text = static_cast<QKeyEvent*>(e)->text();
        if (!text.isEmpty() && text[0].unicode() >= 32 && !(text[0] >= u'0' && text[0] <= u'9'))
            return true;
    }
    return QDialog::eventFilter(watched, e);
}

void TOptionForm::B_OKClick()
{
    inis_.AutoTab = cbAutoTab_->isChecked();
    inis_.AutoFormat = cbAutoFormat_->isChecked();
    bool ok = false;
    const int tabs = eTabs_->text().toInt(&ok, 10);
    if (!ok) {
        // The dialog stays open; only the two check boxes were taken over.
        dialogs_.Error(QStringLiteral("'%1' ist kein gültiger Integerwert").arg(eTabs_->text()));
        return;
    }
    inis_.Tabs = tabs;
    inis_.ProjectDir = eProjektDir_->text();
    inis_.HilfeDir = eHilfeDir_->text();
    inis_.HighContrast = cbKontrast_->isChecked();
    if (applied_)
        applied_();
    accept();
}

// The margin as the listing uses it (modulo 256; no number gives none).
int TOptionForm::LinkerRand() const { return MarginFromText(eLinkerRand_->text()); }
bool TOptionForm::ZeilenNr() const { return cbZeilenNr_->isChecked(); }
bool TOptionForm::DateiDruck() const { return cbDateiDruck_->isChecked(); }

QLineEdit* TOptionForm::Field(const QString& componentName) const { return findChild<QLineEdit*>(componentName); }
QCheckBox* TOptionForm::Box(const QString& componentName) const { return findChild<QCheckBox*>(componentName); }

} // namespace tarko
