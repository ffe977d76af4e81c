// The Hilfe menu (help file, about box) and the options dialog with its
// folder picker, played through the scripted dialogs.
#include <QCheckBox>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>

#include "WorkbenchFixture.h"
#include "workbench/Info.h"
#include "workbench/Option.h"

using namespace tarko;

class UrlSink : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened << url; }
};

class TestHelpOptions : public QObject {
    Q_OBJECT
private slots:
    void helpFile_data();
    void helpFile();
    void aboutBoxShowsVersion();
    void tabsFieldTakesDigitsOnly();
    void okTakesFieldsOver();
    void cancelKeepsSettings();
    void invalidTabsKeepsDialogOpen();
};

void TestHelpOptions::helpFile_data()
{
    QTest::addColumn<QString>("helpFile");
    QTest::newRow("no help file: message, no beep") << "";
    QTest::newRow("help file: one beep, then opened") << "/kurs/hilfe/index.htm";
}

void TestHelpOptions::helpFile()
{
    QFETCH(QString, helpFile);
    UrlSink sink;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &sink, "open");
    TWorkbench wb;
    int beeps = 0;
    wb.form->beep = [&] { ++beeps; };
    wb.form->Inis.HilfeDir = helpFile;
    wb.form->Action("Hilfe2")->trigger();  // the tool button, as F1
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    if (helpFile.isEmpty()) {
        QCOMPARE(beeps, 0);
        QCOMPARE(wb.dialogs->shown.size(), size_t(1));
        QCOMPARE(wb.dialogs->shown[0].text,
                 QStringLiteral("Die Hilfedatei im HTML-Format ist noch nicht unter Bearbeiten->Optionen eingetragen!"));
        QVERIFY(sink.opened.isEmpty());
    } else {
        QCOMPARE(beeps, 1);
        QVERIFY(wb.dialogs->shown.empty());
        QCOMPARE(sink.opened, QList<QUrl>{QUrl::fromLocalFile(helpFile)});
    }
}

void TestHelpOptions::aboutBoxShowsVersion()
{
    TWorkbench wb;
    QStringList versions;
    wb.dialogs->onShowModal = [&](QDialog* d) {
        versions << static_cast<TInfoForm*>(d)->VersionLabel()->text();
        QCOMPARE(d->windowTitle(), QStringLiteral("Tarko"));
        QCOMPARE(d->size(), QSize(263, 176));
    };
    wb.form->Action("Info1")->trigger();
    wb.form->Action("Info1")->trigger();
    QCOMPARE(versions, QStringList(2, QStringLiteral("Version 1.16 [08.10.02]")));
}

void TestHelpOptions::tabsFieldTakesDigitsOnly()
{
    TWorkbench wb;
    QLineEdit* tabs = wb.form->OptionForm()->Field("E_Tabs");
    tabs->setText(QStringLiteral("4"));
    tabs->setCursorPosition(1);
    QTest::keyClicks(tabs, QStringLiteral("a-2.x"));
    QCOMPARE(tabs->text(), QStringLiteral("42"));
    QTest::keyClick(tabs, Qt::Key_Backspace);
    QCOMPARE(tabs->text(), QStringLiteral("4"));
    // The margin field takes any text.
    QLineEdit* margin = wb.form->OptionForm()->Field("E_LinkerRand");
    QTest::keyClicks(margin, QStringLiteral("x"));
    QCOMPARE(margin->text(), QStringLiteral("5x"));
}

void TestHelpOptions::okTakesFieldsOver()
{
    QTemporaryDir dir;
    QDir(dir.path()).mkdir(QStringLiteral("Kurs"));
    TWorkbench wb;
    wb.NewTab(QStringLiteral("Programm.trk"), QStringLiteral("\tAusgabe 1"));
    TOptionForm* options = wb.form->OptionForm();
    QString firstPage;
    wb.dialogs->fileNames = {QStringLiteral("/kurs/hilfe.html")};
    wb.dialogs->onShowModal = [&](QDialog* d) {
        if (d == options->DirList()) {
            // The picker: open the temporary folder, then its sub-folder "Kurs".
            options->DirList()->OpenFolder(dir.path());
            QListWidget* list = options->DirList()->List();
            const auto items = list->findItems(QStringLiteral("Kurs"), Qt::MatchEndsWith);
            QCOMPARE(items.size(), 1);
            emit list->itemDoubleClicked(items[0]);
            d->accept();
            return;
        }
        firstPage = options->Pages()->tabText(options->Pages()->currentIndex());
        QCOMPARE(options->Field("E_Tabs")->text(), QStringLiteral("2"));
        options->Field("E_Tabs")->setText(QStringLiteral("5"));
        options->Box("CB_AutoTab")->setChecked(false);
        options->findChild<QPushButton*>("B_Projekt")->click();
        options->findChild<QPushButton*>("B_Hilfe")->click();
        options->findChild<QPushButton*>("B_OK")->click();
    };
    wb.form->Action("Optionen1")->trigger();
    QCOMPARE(firstPage, QStringLiteral("Verzeichnisse"));
    QCOMPARE(wb.form->Inis.Tabs, 5);
    QVERIFY(!wb.form->Inis.AutoTab);
    QCOMPARE(wb.form->Inis.ProjectDir, QDir(dir.path()).absoluteFilePath(QStringLiteral("Kurs")));
    QCOMPARE(wb.form->Inis.HilfeDir, QStringLiteral("/kurs/hilfe.html"));
    QCOMPARE(wb.form->CurrentEditor()->tabStopDistance(), 40.0);
    // The next open dialog starts in the new project folder.
    wb.form->Action("Oeffnen1")->trigger();
    QCOMPARE(wb.dialogs->shown.back().text, wb.form->Inis.ProjectDir);
}

void TestHelpOptions::cancelKeepsSettings()
{
    TWorkbench wb;
    wb.form->Inis.ProjectDir = QStringLiteral("/alt");
    TOptionForm* options = wb.form->OptionForm();
    wb.dialogs->onShowModal = [&](QDialog* d) {
        if (d == options->DirList()) {
            options->DirList()->OpenFolder(QDir::tempPath());
            d->accept();
            return;
        }
        options->Pages()->setCurrentIndex(2);
        options->findChild<QPushButton*>("B_Projekt")->click();
        QCOMPARE(options->Field("E_ProjektDir")->text(), QDir(QDir::tempPath()).absolutePath());
        options->Field("E_LinkerRand")->setText(QStringLiteral("12"));
        options->Field("E_Tabs")->setText(QStringLiteral("8"));
        options->findChild<QPushButton*>("B_Cancel")->click();
    };
    wb.form->Action("Optionen1")->trigger();
    QCOMPARE(wb.form->Inis.ProjectDir, QStringLiteral("/alt"));
    QCOMPARE(wb.form->Inis.Tabs, 2);
    // The printing margin stays in effect; the page last shown comes back.
    QCOMPARE(options->LinkerRand(), 12);
    wb.dialogs->onShowModal = [&](QDialog*) {
        QCOMPARE(options->Pages()->currentIndex(), 2);
        QCOMPARE(options->Field("E_ProjektDir")->text(), QStringLiteral("/alt"));
    };
    wb.form->Action("Optionen1")->trigger();
}

void TestHelpOptions::invalidTabsKeepsDialogOpen()
{
    TWorkbench wb;
    TOptionForm* options = wb.form->OptionForm();
    bool stillOpen = false;
    wb.dialogs->onShowModal = [&](QDialog*) {
        options->Field("E_Tabs")->clear();
        options->Box("CB_AutoFormat")->setChecked(false);
        options->Field("E_HilfeDir")->setText(QStringLiteral("/neu.htm"));
        options->findChild<QPushButton*>("B_OK")->click();
        stillOpen = options->isVisible();
    };
    wb.form->Action("Optionen1")->trigger();
    QVERIFY(stillOpen);
    QCOMPARE(wb.dialogs->shown.at(1).kind, QStringLiteral("Fehler"));
    QCOMPARE(wb.dialogs->shown.at(1).text, QStringLiteral("'' ist kein gültiger Integerwert"));
    QVERIFY(!wb.form->Inis.AutoFormat);
    QCOMPARE(wb.form->Inis.HilfeDir, QString());
    QCOMPARE(wb.form->Inis.Tabs, 2);
}

QTEST_MAIN(TestHelpOptions)
#include "test_helpoptions.moc"
