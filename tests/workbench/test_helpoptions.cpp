// The Hilfe menu (help file, about box) and the options dialog with its
// folder picker, played through the scripted dialogs.
#include <QCheckBox>
#include <QGroupBox>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionButton>
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
    void centredOnScreen_data();
    void centredOnScreen();
    void captionsReadable_data();
    void captionsReadable();
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

void TestHelpOptions::centredOnScreen_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("window");
    QTest::newRow("options dialog") << "Optionen1" << "OptionForm";
    QTest::newRow("folder picker") << "Optionen1" << "DirListForm";
    QTest::newRow("about box") << "Info1" << "InfoForm";
}

// Centred on the screen, wherever the main window stands.
void TestHelpOptions::centredOnScreen()
{
    QFETCH(QString, command);
    QFETCH(QString, window);
    TWorkbench wb;
    wb.form->move(0, 0);
    const QPoint screenCentre = wb.form->screen()->availableGeometry().center();
    QVERIFY((wb.form->geometry().center() - screenCentre).manhattanLength() > 40);
    QHash<QString, QPoint> centres;
    wb.dialogs->onShowModal = [&](QDialog* d) {
        centres[d->objectName()] = d->frameGeometry().center();
        if (d == wb.form->OptionForm() && window == u"DirListForm") {
            d->move(0, 0);  // the user moved the options dialog aside
            d->findChild<QPushButton*>("B_Projekt")->click();
        }
    };
    wb.form->Action(command)->trigger();
    QVERIFY(centres.contains(window));
    const QPoint centre = centres[window];
    QVERIFY2((centre - screenCentre).manhattanLength() <= 6,
             qPrintable(QStringLiteral("%1,%2").arg(centre.x()).arg(centre.y())));
}

namespace {

// Captions of a window that do not fit their control or stick out of the
// control's parent, as "name: caption".
QStringList ClippedCaptions(QWidget* window)
{
    QStringList clipped;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(window))
            continue;
        QString caption;
        QSize needed;
        if (auto* label = qobject_cast<QLabel*>(w); label && !label->text().isEmpty()) {
            caption = label->text();
            needed = label->sizeHint();
        } else if (auto* push = qobject_cast<QPushButton*>(w); push && !push->text().isEmpty()) {
            // A push button asks for 80 pixels whatever its text: the text
            // must fit the part of the button that holds it.
            caption = push->text();
            QStyleOptionButton option;
            option.initFrom(push);
            const QRect contents = push->style()->subElementRect(QStyle::SE_PushButtonContents, &option, push);
            const QSize text = push->fontMetrics().size(Qt::TextShowMnemonic, caption);
            needed = push->size() - contents.size() + text;
        } else if (auto* button = qobject_cast<QAbstractButton*>(w); button && !button->text().isEmpty()) {
            caption = button->text();
            needed = button->sizeHint();
        } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
            caption = group->title();
            needed = QSize(group->minimumSizeHint().width(), 0);
        } else {
            continue;
        }
        const bool fits = needed.width() <= w->width() && needed.height() <= w->height();
        const bool inside = !w->parentWidget() || w->parentWidget()->rect().contains(w->geometry());
        if (!fits || !inside)
            clipped << QStringLiteral("%1: %2 (%3 wide, needs %4)")
                           .arg(w->objectName(), caption)
                           .arg(w->width())
                           .arg(needed.width());
    }
    return clipped;
}

} // namespace

void TestHelpOptions::captionsReadable_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<int>("page");
    QTest::newRow("options: Editor") << "OptionForm" << 0;
    QTest::newRow("options: Verzeichnisse") << "OptionForm" << 1;
    QTest::newRow("options: Drucken") << "OptionForm" << 2;
    QTest::newRow("options: Ansicht") << "OptionForm" << 3;
    QTest::newRow("folder picker") << "DirListForm" << -1;
    QTest::newRow("about box") << "InfoForm" << -1;
    QTest::newRow("find dialog") << "FindDialog" << -1;
    QTest::newRow("replace dialog") << "ReplaceDialog" << -1;
}

// Every caption readable in full at the windows' fixed sizes.
void TestHelpOptions::captionsReadable()
{
    QFETCH(QString, window);
    QFETCH(int, page);
    TWorkbench wb;
    wb.NewTab(QStringLiteral("Programm.trk"), QStringLiteral("Pause 1"));
    QDialog* d = nullptr;
    if (window == u"OptionForm") {
        d = wb.form->OptionForm();
        wb.form->OptionForm()->Pages()->setCurrentIndex(page);
    } else if (window == u"DirListForm") {
        d = wb.form->OptionForm()->DirList();
    } else if (window == u"InfoForm") {
        d = wb.form->InfoForm();
    } else if (window == u"FindDialog") {
        wb.form->Action("Suchen1")->trigger();
        d = wb.form->FindDialog();
    } else {
        wb.form->Action("Ersetzen1")->trigger();
        d = wb.form->ReplaceDialog();
    }
    d->show();
    QVERIFY(QTest::qWaitForWindowExposed(d));
    const QStringList clipped = ClippedCaptions(d);
    QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(QStringLiteral("; "))));
    if (window == u"OptionForm")
        QCOMPARE(d->size(), QSize(310, 202));
    d->hide();
}

QTEST_MAIN(TestHelpOptions)
#include "test_helpoptions.moc"
