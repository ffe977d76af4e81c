#include "workbench/Startup.h"

#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace tarko {

bool PrepareApplication(QApplication& app)
{
    QApplication::setApplicationName(QStringLiteral("Tarko"));
    QApplication::setApplicationDisplayName(QString());
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));

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

} // namespace tarko
