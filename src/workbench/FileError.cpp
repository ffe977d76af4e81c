#include "workbench/FileError.h"

#include <cerrno>

namespace tarko {

QString FileErrorText(int errnum)
{
    switch (errnum) {
    case EACCES:
    case EPERM:
        return QStringLiteral("Dateizugriff verweigert");
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return QStringLiteral("Zu wenig Speicherplatz");
    case ENOENT:
    case ENOTDIR:
        return QStringLiteral("Pfad nicht gefunden");
    case EISDIR:
        return QStringLiteral("Der Name bezeichnet ein Verzeichnis");
    case EROFS:
        return QStringLiteral("Der Datenträger ist schreibgeschützt");
    case ENAMETOOLONG:
        return QStringLiteral("Dateiname zu lang");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("Zu viele geöffnete Dateien");
    default:
        return QStringLiteral("E/A-Fehler %1").arg(errnum);
    }
}

} // namespace tarko
