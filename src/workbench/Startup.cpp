#include "workbench/Startup.h"

#include <QApplication>
#include <QFont>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QUrl>

// The icon is compiled into this static library; the reference keeps the
// linker from dropping it.
static void InitWorkbenchResources() { Q_INIT_RESOURCE(workbench); }

namespace tarko {

bool PrepareApplication(QApplication& app)
{
    QApplication::setApplicationName(QStringLiteral("Tarko"));
    QApplication::setApplicationDisplayName(QString());
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    // The desktop matches the windows to the installed entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("de.brimwold.Tarko"));
    InitWorkbenchResources();
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/app/tarko-%1.png").arg(size), QSize(size, size));
    QApplication::setWindowIcon(icon);

    // The windows were designed with these Windows fonts; metric-compatible
    // ones stand in for them.
    QFont::insertSubstitutions(QStringLiteral("Courier New"),
                               {QStringLiteral("Liberation Mono"), QStringLiteral("DejaVu Sans Mono")});
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});

    auto* translator = new QTranslator(&app);
    if (translator->load(QStringLiteral("qtbase_de"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(translator);
        return true;
    }
    delete translator;
    return false;
}

QStringList LocalFileArguments(const QStringList& arguments)
{
    QStringList local;
    for (const QString& argument : arguments) {
        const QUrl url(argument);
        local << (argument.startsWith(QStringLiteral("file://")) && url.isLocalFile() ? url.toLocalFile() : argument);
    }
    return local;
}

} // namespace tarko
