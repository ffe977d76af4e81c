#pragma once
// What the application needs before its first window: the title "Tarko",
// Qt's own German texts for the standard dialogs, and the fonts the windows
// name mapped to the fonts installed here.
class QApplication;

namespace tarko {

// Returns whether Qt's German translation was found and installed.
bool PrepareApplication(QApplication& app);

} // namespace tarko
