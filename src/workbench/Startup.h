#pragma once
// What the application needs before its first window: the title "Tarko",
// the icon and desktop entry the desktop shows it with,
// Qt's own German texts for the standard dialogs, and the fonts the windows
// name mapped to the fonts installed here.
class QApplication;
class QString;
template <typename T> class QList;
using QStringList = QList<QString>;

namespace tarko {

// Returns whether Qt's German translation was found and installed.
bool PrepareApplication(QApplication& app);

// The command-line arguments with a file:// URL (as some launchers hand a
// file over) turned into its local path; every other argument unchanged.
QStringList LocalFileArguments(const QStringList& arguments);

} // namespace tarko
