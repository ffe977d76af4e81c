#pragma once
// Names and descriptions for screen readers. Every control a user reaches
// gets a German accessible name from one table keyed by component name;
// the visible texts and pixels stay as they are.
#include <QString>
#include <QWidget>

namespace tarko {

// Gives every child of root (and root itself) that the table lists its
// accessible name and description. Call once the controls exist.
void NameControls(QWidget* root);

// The accessible name of a program editor, after its tab's caption.
QString EditorAccessibleName(const QString& tabCaption);

// The message line and the status panels say what they are followed by what
// they show right now (a label's name is otherwise only its text, empty
// when idle); the graphics screen is a picture. Installed once per process
// (NameControls does it); later calls do nothing.
void InstallAccessibleFactory();

// What the label with this component name tells a screen reader when it
// shows text: "Meldungszeile: SolangeEnde erwartet", "Schreibmarke: Zeile 3,
// Spalte 12". Empty for labels the table does not describe this way.
QString LabelAccessibleName(const QString& componentName, const QString& text);

// Tells a screen reader a message without moving the keyboard focus (Qt
// 6.4 has no announcement event): a notification object without size whose
// name is the message; each announcement shows it anew, and screen readers
// speak a notification when it is shown. Nothing is drawn.
class TAnnouncer : public QWidget {
public:
    explicit TAnnouncer(QWidget* parent);
    void Announce(const QString& text);
};

} // namespace tarko
