#pragma once
// The file system's reason for a failed file operation, in German, for the
// general error report (Qt's own texts are partly English).
#include <QString>

namespace tarko {

// The reason for the system error number `errnum` (errno): "Dateizugriff
// verweigert", "Zu wenig Speicherplatz", ... and "E/A-Fehler %d" for the rest.
QString FileErrorText(int errnum);

} // namespace tarko
