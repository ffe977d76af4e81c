#include "workbench/Accessible.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QGroupBox>
#include <QSizeGrip>
#include <QLabel>
#include <QRegularExpression>
#include <QWidget>

namespace tarko {

namespace {

struct AccessibleText {
    const char* component;
    const char* name;         // UTF-8
    const char* description;  // UTF-8, may be empty
};

// Every control a user reaches, by component name. Controls whose visible
// text already says what they are (check boxes, OK and Abbruch buttons, menu
// items, tab captions) are named by that text and are not listed.
constexpr AccessibleText Texts[] = {
    // tool bar, left to right
    {"ToolBar1", "Werkzeugleiste", ""},
    {"Neu2", "Neue Datei", "Öffnet einen leeren Karteireiter für ein neues Programm (Strg+N)"},
    {"Oeffnen2", "Datei öffnen", "Lädt ein Programm aus einer Datei (Strg+O)"},
    {"Speichern2", "Datei speichern", "Speichert das Programm des aktiven Karteireiters (Strg+S)"},
    {"Drucken2", "Datei drucken", "Druckt das Programm des aktiven Karteireiters (Strg+P)"},
    {"Ausschneiden2", "Ausschneiden", "Schneidet den markierten Text aus (Strg+X)"},
    {"Kopieren2", "Kopieren", "Kopiert den markierten Text (Strg+C)"},
    {"Einfuegen2", "Einfügen", "Fügt den Text aus der Zwischenablage ein (Strg+V)"},
    {"Suchen2", "Suchen", "Sucht einen Text im Programm (Strg+F)"},
    {"Ersetzen2", "Ersetzen", "Ersetzt einen Text im Programm (Strg+R)"},
    {"Run2", "Programm starten", "Übersetzt das Programm und führt es aus (F9)"},
    {"Break2", "Stop", "Bricht das laufende Programm ab (Esc)"},
    {"Hilfe2", "Hilfe zum Programm", "Öffnet die Hilfedatei im Browser (F1)"},
    {"qt_toolbar_ext_button", "Weitere Knöpfe", "Zeigt die Knöpfe, die nicht in die Werkzeugleiste passen"},
    // editor panel
    {"P_Edit", "Editor", ""},
    {"PC_Edit", "Programme", "Karteireiter der geöffneten Programme; Strg+Tab wechselt"},
    {"P_Meldung", "Meldungszeile", ""},
    {"L_Meldung", "Meldungszeile", "Fehler beim Übersetzen und der Zustand des Programms"},
    // the device
    {"P_Run", "Taschengerät", ""},
    {"RunMemo", "Ausgabe des Programms",
     "Bildschirm des Taschengeräts mit den Ausgaben und Eingaben des laufenden Programms"},
    {"RunImage", "Grafikbildschirm",
     "Grafik des laufenden Programms, 200 mal 200 Punkte, x und y von -10 bis 10"},
    {"B1", "Taste 1", "Gibt die Ziffer 1 ein"},
    {"B2", "Taste 2", "Gibt die Ziffer 2 ein"},
    {"B3", "Taste 3", "Gibt die Ziffer 3 ein"},
    {"B4", "Taste 4", "Gibt die Ziffer 4 ein"},
    {"B5", "Taste 5", "Gibt die Ziffer 5 ein"},
    {"B6", "Taste 6", "Gibt die Ziffer 6 ein"},
    {"B7", "Taste 7", "Gibt die Ziffer 7 ein"},
    {"B8", "Taste 8", "Gibt die Ziffer 8 ein"},
    {"B9", "Taste 9", "Gibt die Ziffer 9 ein"},
    {"B0", "Taste 0", "Gibt die Ziffer 0 ein"},
    {"BC", "Taste C", "Löscht das zuletzt eingegebene Zeichen"},
    {"BOK", "Taste OK", "Schließt die Eingabe der Zahl ab"},
    {"BM", "Taste Minus", "Gibt das Minuszeichen ein"},
    {"BK", "Taste Komma", "Gibt das Dezimalkomma ein"},
    // status bar
    {"StatusBar", "Statusleiste", ""},
    {"StatusPanel0", "Schreibmarke", "Zeile und Spalte der Schreibmarke"},
    {"StatusPanel1", "Änderungen", "Zeigt „Geändert“, solange das Programm ungespeicherte Änderungen hat"},
    {"StatusPanel2", "Speichern", "Fortschritt beim Speichern"},
    // options dialog and folder picker
    {"PC_Option", "Optionen", ""},
    {"E_Tabs", "Tabulatorweite", "Breite eines Tabulators im Editor"},
    {"E_ProjektDir", "Projektverzeichnis", "Dort beginnt der Öffnen-Dialog"},
    {"B_Projekt", "Projektverzeichnis wählen", ""},
    {"E_HilfeDir", "Hilfedatei", "HTML-Datei, die F1 im Browser öffnet"},
    {"B_Hilfe", "Hilfedatei wählen", ""},
    {"E_LinkerRand", "Linker Rand", "Linker Rand beim Drucken"},
    {"DirectoryListBox1", "Verzeichnisse", "Doppelklick oder Eingabetaste öffnet ein Verzeichnis"},
    // find and replace
    {"FindText", "Suchen nach", ""},
    {"ReplaceText", "Ersetzen durch", ""},
    // debug view; its caption "IdeForm" says nothing to a pupil
    {"IdeForm", "Einzelschritt", "Symbole, P-Code, Stapel und Variablen des Einzelschritts"},
    {"DebugMemo", "Symbole und P-Code", "Symbole, erzeugter P-Code und Meldungen des Einzelschritts"},
    {"StackMemo", "Stapel", "Oberste Werte des Stapels vor dem nächsten Befehl"},
    {"DataMemo", "Variablen", "Die ersten Variablen vor dem nächsten Befehl"},
    {"CodeMemo", "Ausgeführte Befehle", "Jeder ausgeführte Befehl in einer Zeile"},
};

const AccessibleText* Find(const QString& component)
{
    for (const AccessibleText& t : Texts)
        if (component == QLatin1String(t.component))
            return &t;
    return nullptr;
}

// Labels that tell what they are and what they show (message line, status
// panels); a plain label's name would be its text alone.
class TLabelAccessible : public QAccessibleWidget {
public:
    explicit TLabelAccessible(QLabel* label) : QAccessibleWidget(label, QAccessible::StaticText) {}

    QString text(QAccessible::Text t) const override
    {
        auto* label = static_cast<QLabel*>(widget());
        if (t == QAccessible::Name)
            return LabelAccessibleName(label->objectName(), label->text());
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* Factory(const QString& className, QObject* object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    const QString name = object->objectName();
    if (className == u"QLabel" && (name == u"L_Meldung" || name.startsWith(u"StatusPanel")))
        return new TLabelAccessible(static_cast<QLabel*>(object));
    auto* widget = static_cast<QWidget*>(object);
    // Regions of the main window are panels (a frame is a top-level window
    // to a screen reader); the debug view is a window of its own.
    if (name == u"P_Edit" || name == u"P_Run" || name == u"P_Meldung")
        return new QAccessibleWidget(widget, QAccessible::Grouping);
    if (name == u"IdeForm")
        return new QAccessibleWidget(widget, QAccessible::Window);
    if (className == u"QWidget" && name == u"RunImage")
        return new QAccessibleWidget(widget, QAccessible::Graphic);
    if (name == u"Ansage")
        return new QAccessibleWidget(widget, QAccessible::Notification);
    return nullptr;
}

// Controls the table cannot list by name: group boxes, whose titles carry
// blanks on both sides for the look of their frames, and the size grip.
void NameUnlisted(QWidget* w)
{
    if (auto* group = qobject_cast<QGroupBox*>(w)) {
        QString title = group->title();
        title.remove(QRegularExpression(QStringLiteral("&(?=[^&])")));
        group->setAccessibleName(title.trimmed());
    } else if (qobject_cast<QSizeGrip*>(w)) {
        w->setAccessibleName(QStringLiteral("Fenstergröße"));
        w->setAccessibleDescription(QStringLiteral("Mit der Maus ziehen ändert die Größe des Fensters"));
    }
}

} // namespace

void NameControls(QWidget* root)
{
    InstallAccessibleFactory();
    QList<QWidget*> widgets = root->findChildren<QWidget*>();
    widgets.prepend(root);
    for (QWidget* w : std::as_const(widgets)) {
        NameUnlisted(w);
        const AccessibleText* t = Find(w->objectName());
        if (!t)
            continue;
        // The dynamic labels build their names themselves.
        if (!qobject_cast<QLabel*>(w))
            w->setAccessibleName(QString::fromUtf8(t->name));
        w->setAccessibleDescription(QString::fromUtf8(t->description));
    }
}

QString EditorAccessibleName(const QString& tabCaption)
{
    return QStringLiteral("Programmtext: ") + tabCaption;
}

QString LabelAccessibleName(const QString& componentName, const QString& text)
{
    const AccessibleText* t = Find(componentName);
    if (!t)
        return {};
    const QString what = QString::fromUtf8(t->name);
    const QString shown = text.simplified();
    if (shown.isEmpty())
        return what;
    // "  3:  12" in the caret panel is read as line and column.
    if (componentName == u"StatusPanel0") {
        static const QRegularExpression lineColumn(QStringLiteral("^(\\d+): *(\\d+)$"));
        const QRegularExpressionMatch m = lineColumn.match(shown);
        if (m.hasMatch())
            return QStringLiteral("%1: Zeile %2, Spalte %3").arg(what, m.captured(1), m.captured(2));
    }
    return what + QStringLiteral(": ") + shown;
}

TAnnouncer::TAnnouncer(QWidget* parent) : QWidget(parent)
{
    InstallAccessibleFactory();
    setObjectName(QStringLiteral("Ansage"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    setGeometry(0, 0, 0, 0);
}

void TAnnouncer::Announce(const QString& text)
{
    if (text.isEmpty())
        return;
    setAccessibleName(text);
    QAccessibleEvent shown(this, QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&shown);
}

void InstallAccessibleFactory()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    QAccessible::installFactory(Factory);
}

} // namespace tarko
