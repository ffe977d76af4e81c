// The real message boxes and file dialogs behind the dialog interface, driven
// by clicking the active modal widget, and Qt's German texts at start-up.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QTemporaryDir>
#include <QCheckBox>
#include <QFontDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "workbench/Dialogs.h"
#include "workbench/Startup.h"

using namespace tarko;

namespace {

struct TSeenBox {
    QString title, text;
    QStringList buttons;
    bool nativeFileDialog = true;
    QString fileDialogDir;
};

// When the next modal dialog is up: note what it shows, then press the
// button with `press` as its text (or reject it when empty).
void AnswerNextBox(TSeenBox& seen, const QString& press)
{
    QTimer::singleShot(0, [&seen, press] {
        QWidget* w = QApplication::activeModalWidget();
        if (!w) {
            QTimer::singleShot(10, [&seen, press] { AnswerNextBox(seen, press); });
            return;
        }
        seen.title = w->windowTitle();
        if (auto* box = qobject_cast<QMessageBox*>(w)) {
            seen.text = box->text();
            for (QAbstractButton* b : box->buttons())
                seen.buttons << b->text();
            for (QAbstractButton* b : box->buttons())
                if (b->text() == press) {
                    b->click();
                    return;
                }
        }
        if (auto* fd = qobject_cast<QFileDialog*>(w)) {
            seen.nativeFileDialog = !fd->testOption(QFileDialog::DontUseNativeDialog);
            seen.fileDialogDir = fd->directory().absolutePath();
        }
        static_cast<QDialog*>(w)->reject();
    });
}

// When the next file dialog is up: choose its last filter entry as a user
// does, note the entry's text and the files the dialog then lists in
// `dir`, and cancel.
void ListUnderLastFilter(QString& entry, QStringList& names, const QString& dir)
{
    QTimer::singleShot(0, [&entry, &names, dir] {
        auto* fd = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!fd) {
            QTimer::singleShot(10, [&entry, &names, dir] { ListUnderLastFilter(entry, names, dir); });
            return;
        }
        auto* combo = fd->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        auto* model = fd->findChild<QFileSystemModel*>();
        if (combo && model) {
            const int last = combo->count() - 1;
            combo->setCurrentIndex(last);
            emit combo->activated(last);
            emit combo->textActivated(combo->itemText(last));
            entry = combo->currentText();
            const auto list = [&] {
                names.clear();
                const QModelIndex root = model->index(dir);
                for (int r = 0; r < model->rowCount(root); ++r)
                    names << model->index(r, 0, root).data().toString();
                names.sort();
                return names.size() >= 2;
            };
            (void)QTest::qWaitFor(list, 5000);
        }
        fd->reject();
    });
}

} // namespace

class TestDialogs : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(PrepareApplication(*qApp)); }
    void germanStandardTexts();
    void applicationIconInEverySize();
    void confirmation_data();
    void confirmation();
    void plainAndErrorBoxes();
    void fileDialogsAreQtsOwn();
    void allFilesListsNamesWithoutDot();
    void helpFileMustExist();
    void fontDialogWithoutEffects();
    void fontDialogSampleReadable();
    void fontDialogShowsTheEditorFont();
    void printerSetUpOffersPrinters();
    void pictureDialogStartsAtTheSuggestion();
};

void TestDialogs::germanStandardTexts()
{
    QCOMPARE(QApplication::applicationName(), QStringLiteral("Tarko"));
    QDialogButtonBox box(QDialogButtonBox::Cancel | QDialogButtonBox::Open);
    QCOMPARE(box.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("Abbrechen"));
    QCOMPARE(box.button(QDialogButtonBox::Open)->text(), QStringLiteral("Öffnen"));
    QCOMPARE(QFontInfo(QFont(QStringLiteral("Courier New"))).fixedPitch(), true);
}

// Each size is drawn for itself, so the menu and the task bar never scale one.
void TestDialogs::applicationIconInEverySize()
{
    QCOMPARE(QGuiApplication::desktopFileName(), QStringLiteral("de.brimwold.Tarko"));
    const QList<QSize> sizes = QApplication::windowIcon().availableSizes();
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        QVERIFY2(sizes.contains(QSize(size, size)), qPrintable(QString::number(size)));
        QCOMPARE(QApplication::windowIcon().pixmap(size).size(), QSize(size, size));
    }
}

void TestDialogs::confirmation_data()
{
    QTest::addColumn<QString>("press");
    QTest::addColumn<int>("answer");
    QTest::newRow("Ja") << "&Ja" << int(TAnswer::Ja);
    QTest::newRow("Nein") << "&Nein" << int(TAnswer::Nein);
    QTest::newRow("Abbrechen") << "Abbrechen" << int(TAnswer::Abbrechen);
    QTest::newRow("closed by Esc counts as Abbrechen") << "" << int(TAnswer::Abbrechen);
}

void TestDialogs::confirmation()
{
    QFETCH(QString, press);
    QFETCH(int, answer);
    QWidget parent;
    TQtDialogs dialogs(&parent);
    TSeenBox seen;
    AnswerNextBox(seen, press);
    QCOMPARE(int(dialogs.Confirm(QStringLiteral("Änderungen speichern in Programm.trk?"))), answer);
    QCOMPARE(seen.title, QStringLiteral("Bestätigung"));
    QCOMPARE(seen.text, QStringLiteral("Änderungen speichern in Programm.trk?"));
    QCOMPARE(seen.buttons.size(), 3);
    for (const char* b : {"&Ja", "&Nein", "Abbrechen"})
        QVERIFY2(seen.buttons.contains(QString::fromUtf8(b)), b);
}

void TestDialogs::plainAndErrorBoxes()
{
    TQtDialogs dialogs(nullptr);
    TSeenBox plain, error;
    AnswerNextBox(plain, QStringLiteral("OK"));
    dialogs.Message(QStringLiteral("Datei konnte nicht geöffnet werden"));
    QCOMPARE(plain.title, QStringLiteral("Tarko"));
    QCOMPARE(plain.buttons, QStringList{QStringLiteral("OK")});
    AnswerNextBox(error, QStringLiteral("OK"));
    dialogs.Error(QStringLiteral("Gleitkommadivision durch Null"));
    QCOMPARE(error.title, QStringLiteral("Fehler"));
    QCOMPARE(error.text, QStringLiteral("Gleitkommadivision durch Null"));
    QCOMPARE(error.buttons, QStringList{QStringLiteral("OK")});
}

void TestDialogs::fileDialogsAreQtsOwn()
{
    TQtDialogs dialogs(nullptr);
    TSeenBox open, save;
    AnswerNextBox(open, QString());
    QCOMPARE(dialogs.OpenFileName(QStringLiteral(TARKO_SOURCE_DIR "/resources/examples"),
                                  QStringLiteral("Tarko-Programme (*.trk)")),
             QString());
    QVERIFY(!open.nativeFileDialog);
    QCOMPARE(open.fileDialogDir, QStringLiteral(TARKO_SOURCE_DIR "/resources/examples"));
    AnswerNextBox(save, QString());
    QCOMPARE(dialogs.SaveFileName(QString(), QStringLiteral("Programm.trk"), QString()), QString());
    QVERIFY(!save.nativeFileDialog);
}

// "Alle Dateien(*.*)" lists every file, also one without a dot, in the
// open, save and help-file dialogs.
void TestDialogs::allFilesListsNamesWithoutDot()
{
    QTemporaryDir tmp;
    for (const char* name : {"LIESMICH", "Kreis.trk"}) {
        QFile f(tmp.filePath(QString::fromLatin1(name)));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    const QString programs = QStringLiteral("TRK-Dateien (*.trk);;Alle Dateien(*.*)");
    const QStringList all{QStringLiteral("Kreis.trk"), QStringLiteral("LIESMICH")};
    TQtDialogs dialogs(nullptr);
    QString entry;
    QStringList names;
    ListUnderLastFilter(entry, names, tmp.path());
    QCOMPARE(dialogs.OpenFileName(tmp.path(), programs), QString());
    QCOMPARE(entry, QStringLiteral("Alle Dateien(*.*)"));
    QCOMPARE(names, all);
    ListUnderLastFilter(entry, names, tmp.path());
    QCOMPARE(dialogs.SaveFileName(tmp.path(), QStringLiteral("Programm.trk"), programs), QString());
    QCOMPARE(entry, QStringLiteral("Alle Dateien(*.*)"));
    QCOMPARE(names, all);
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(tmp.path()));
    ListUnderLastFilter(entry, names, tmp.path());
    const QString help = dialogs.HelpFileName(QStringLiteral("HTM (*.htm);;HTML (*.html);;Alle Dateien (*.*)"));
    QDir::setCurrent(previous);
    QCOMPARE(help, QString());
    QCOMPARE(entry, QStringLiteral("Alle Dateien (*.*)"));
    QCOMPARE(names, all);
}

// The help file is picked like a file to open: it has to exist.
void TestDialogs::helpFileMustExist()
{
    TQtDialogs dialogs(nullptr);
    QString title;
    int mode = -1, accept = -1;
    QTimer::singleShot(0, [&] {
        auto* fd = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        QVERIFY(fd);
        title = fd->windowTitle();
        mode = fd->fileMode();
        accept = fd->acceptMode();
        fd->reject();
    });
    QCOMPARE(dialogs.HelpFileName(QStringLiteral("HTM (*.htm)")), QString());
    QCOMPARE(title, QStringLiteral("Hilfedatei festlegen"));
    QCOMPARE(mode, int(QFileDialog::ExistingFile));
    QCOMPARE(accept, int(QFileDialog::AcceptOpen));
}

void TestDialogs::fontDialogWithoutEffects()
{
    TQtDialogs dialogs(nullptr);
    QStringList effects;
    bool seen = false;
    QTimer::singleShot(0, [&] {
        QWidget* w = QApplication::activeModalWidget();
        seen = qobject_cast<QFontDialog*>(w) != nullptr;
        for (QCheckBox* box : w->findChildren<QCheckBox*>())
            if (box->isVisibleTo(w))
                effects << box->text();
        static_cast<QDialog*>(w)->reject();
    });
    QFont font(QStringLiteral("Courier New"), 10);
    QVERIFY(!dialogs.ChooseFont(font));
    QVERIFY(seen);
    QVERIFY2(effects.isEmpty(), qPrintable(effects.join(QStringLiteral(", "))));
}

// Hiding the effects must not squeeze the sample beside them: its text
// stays readable in full height.
void TestDialogs::fontDialogSampleReadable()
{
    TQtDialogs dialogs(nullptr);
    int sampleHeight = -1, textHeight = 0;
    QTimer::singleShot(0, [&] {
        QWidget* w = QApplication::activeModalWidget();
        for (QLineEdit* edit : w->findChildren<QLineEdit*>())
            if (edit->isVisibleTo(w) && qobject_cast<QGroupBox*>(edit->parentWidget())) {
                sampleHeight = edit->height();
                textHeight = edit->fontMetrics().height();
            }
        static_cast<QDialog*>(w)->reject();
    });
    QFont font(QStringLiteral("Courier New"), 10);
    QVERIFY(!dialogs.ChooseFont(font));
    QVERIFY2(sampleHeight >= textHeight && textHeight > 0,
             qPrintable(QStringLiteral("sample %1 px high, text %2 px").arg(sampleHeight).arg(textHeight)));
}

// "Courier New" is shown as the font standing in for it; OK without a
// change keeps the editors' font.
void TestDialogs::fontDialogShowsTheEditorFont()
{
    TQtDialogs dialogs(nullptr);
    QString shown;
    QTimer::singleShot(0, [&] {
        auto* d = qobject_cast<QFontDialog*>(QApplication::activeModalWidget());
        QVERIFY(d);
        shown = d->currentFont().family();
        d->accept();
    });
    QFont font(QStringLiteral("Courier New"), 10);
    QVERIFY(dialogs.ChooseFont(font));
    QCOMPARE(shown, QFontInfo(QFont(QStringLiteral("Courier New"))).family());
    QCOMPARE(font.family(), QStringLiteral("Courier New"));
    QCOMPARE(font.pointSize(), 10);
}

// The set-up dialog offers the printers and says OK, not Drucken; it
// works on the printer it is given.
void TestDialogs::printerSetUpOffersPrinters()
{
    TQtDialogs dialogs(nullptr);
    QPrinter printer;
    QString title;
    QStringList buttons;
    int printerChoices = 0;
    QPrinter* shownPrinter = nullptr;
    int waits = 0;
    // The printer list is filled once the dialog is up; wait for it a while.
    std::function<void()> look = [&] {
        auto* d = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget());
        auto* list = d ? d->findChild<QComboBox*>(QStringLiteral("printers")) : nullptr;
        if ((!d || !list || list->count() == 0) && ++waits < 100) {
            QTimer::singleShot(20, look);
            return;
        }
        if (!d) {  // some other dialog: close it, the checks below fail
            if (auto* other = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                other->reject();
            return;
        }
        title = d->windowTitle();
        shownPrinter = d->printer();
        if (list && list->isVisibleTo(d) && list->isEnabled())
            printerChoices = list->count();
        if (auto* box = d->findChild<QDialogButtonBox*>())
            for (QAbstractButton* b : box->buttons())
                buttons << b->text();
        d->reject();
    };
    QTimer::singleShot(0, look);
    dialogs.PrinterSetup(printer);
    QCOMPARE(title, QStringLiteral("Drucker einrichten"));
    QCOMPARE(shownPrinter, &printer);
    QVERIFY2(buttons.contains(QStringLiteral("OK")), qPrintable(buttons.join(u',')));
    QVERIFY(printerChoices >= 1);
}

// The picture's save dialog is Qt's own, with its caption, in the folder of
// the suggested name.
void TestDialogs::pictureDialogStartsAtTheSuggestion()
{
    QTemporaryDir tmp;
    TQtDialogs dialogs(nullptr);
    TSeenBox seen;
    AnswerNextBox(seen, QString());
    QCOMPARE(dialogs.PictureFileName(tmp.filePath(QStringLiteral("Koordinatensystem.png"))), QString());
    QCOMPARE(seen.title, QStringLiteral("Bild speichern unter"));
    QVERIFY(!seen.nativeFileDialog);
    QCOMPARE(seen.fileDialogDir, QDir(tmp.path()).absolutePath());
}

QTEST_MAIN(TestDialogs)
#include "test_dialogs.moc"
