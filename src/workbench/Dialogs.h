#pragma once
// Every message box and file dialog of the workbench goes through TDialogs, so
// tests can script the answers instead of blocking in a modal dialog.
#include <QFont>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

class QDialog;
class QPrinter;
class QWidget;

namespace tarko {

enum class TAnswer { Ja, Nein, Abbrechen };

class TDialogs {
public:
    virtual ~TDialogs() = default;
    // Plain box: title "Tarko", button "OK".
    virtual void Message(const QString& text) = 0;
    // Confirmation box: title "Bestätigung", buttons "&Ja", "&Nein", "Abbrechen".
    virtual TAnswer Confirm(const QString& text) = 0;
    // Error box: title "Fehler", button "OK"; `reason`, when given, is shown
    // under the text (what the system reported).
    virtual void Error(const QString& text, const QString& reason = QString()) = 0;
    // Open and save dialogs; an empty result means the user cancelled.
    virtual QString OpenFileName(const QString& startDir, const QString& filter) = 0;
    virtual QString SaveFileName(const QString& startDir, const QString& fileName,
                                 const QString& filter) = 0;
    // A window of the workbench shown modally (about box, options dialog);
    // returns the dialog's result.
    virtual int ShowModal(QDialog* dialog) = 0;
    // The help file's open dialog: title "Hilfedatei festlegen".
    virtual QString HelpFileName(const QString& filter) = 0;
    // The font dialog, without effects; true and `font` changed on OK.
    virtual bool ChooseFont(QFont& font) = 0;
    // Printing: the save dialog "In eine Datei drucken" for a listing file,
    // the print dialog (false: cancelled), the printer set-up dialog. Both
    // printer dialogs work on the one printer of the run and leave their
    // choices in it.
    virtual QString PrintFileName() = 0;
    virtual bool ChoosePrinter(QPrinter& printer) = 0;
    virtual void PrinterSetup(QPrinter& printer) = 0;
    // The save dialog "Bild speichern unter" for a PNG picture, starting at
    // the suggested path.
    virtual QString PictureFileName(const QString& suggested) = 0;
};

// The real dialogs: QMessageBox and QFileDialog (never the platform's native
// ones, which ignore the German translation).
class TQtDialogs : public TDialogs {
public:
    explicit TQtDialogs(QWidget* parent) : parent_(parent) {}
    void Message(const QString& text) override;
    TAnswer Confirm(const QString& text) override;
    void Error(const QString& text, const QString& reason = QString()) override;
    QString OpenFileName(const QString& startDir, const QString& filter) override;
    QString SaveFileName(const QString& startDir, const QString& fileName,
                         const QString& filter) override;
    int ShowModal(QDialog* dialog) override;
    QString HelpFileName(const QString& filter) override;
    bool ChooseFont(QFont& font) override;
    QString PrintFileName() override;
    bool ChoosePrinter(QPrinter& printer) override;
    void PrinterSetup(QPrinter& printer) override;
    QString PictureFileName(const QString& suggested) override;

private:
    QWidget* parent_;
};

// A scripted stand-in for tests: records every box shown and answers from queues.
class TScriptedDialogs : public TDialogs {
public:
    struct TShown {
        QString kind;  // "Tarko", "Bestätigung", "Fehler", "Öffnen", "Speichern"
        QString text;
        QString reason;  // an error box's second part
        QString startDir;  // where a file dialog starts
    };
    std::vector<TShown> shown;
    std::deque<TAnswer> answers;     // Confirm answers; Abbrechen when empty
    std::deque<QString> fileNames;   // file dialog answers; cancelled when empty
    std::function<void(const TShown&)> onShow;  // runs while the "box" is up

    void Message(const QString& text) override { Note("Tarko", text); }
    TAnswer Confirm(const QString& text) override
    {
        Note("Bestätigung", text);
        if (answers.empty())
            return TAnswer::Abbrechen;
        TAnswer a = answers.front();
        answers.pop_front();
        return a;
    }
    void Error(const QString& text, const QString& reason = QString()) override
    {
        Note("Fehler", text, reason);
    }
    QString OpenFileName(const QString& startDir, const QString&) override
    {
        Note("Öffnen", startDir);
        return NextName();
    }
    QString SaveFileName(const QString& startDir, const QString& fileName, const QString&) override
    {
        Note("Speichern", fileName, QString(), startDir);
        return NextName();
    }
    // ShowModal: the dialog is shown (not modal), `onShowModal` plays the
    // user, then it is hidden; the result is the dialog's result by then.
    std::function<void(QDialog*)> onShowModal;
    int ShowModal(QDialog* dialog) override;
    QString HelpFileName(const QString&) override
    {
        Note("Hilfedatei festlegen", QString());
        return NextName();
    }
    std::deque<QFont> fonts;  // font dialog answers; cancelled when empty
    bool ChooseFont(QFont& font) override
    {
        Note("Schriftart", font.family());
        if (fonts.empty())
            return false;
        font = fonts.front();
        fonts.pop_front();
        return true;
    }
    QString PrintFileName() override
    {
        Note("In eine Datei drucken", QString());
        return NextName();
    }
    // The print dialog's answer: the printer then writes a PDF to this file;
    // empty means cancelled.
    std::deque<QString> pdfFiles;
    // The print dialog's last printer and the set-up dialog's user.
    QPrinter* printerSeen = nullptr;
    std::function<void(QPrinter&)> onPrinterSetup;
    bool ChoosePrinter(QPrinter& printer) override;
    void PrinterSetup(QPrinter& printer) override
    {
        Note("Drucker einrichten", QString());
        printerSeen = &printer;
        if (onPrinterSetup)
            onPrinterSetup(printer);
    }
    QString PictureFileName(const QString& suggested) override
    {
        Note("Bild speichern unter", suggested);
        return NextName();
    }
    int Count(const QString& kind) const
    {
        int n = 0;
        for (const auto& s : shown)
            n += s.kind == kind;
        return n;
    }

private:
    void Note(const QString& kind, const QString& text, const QString& reason = QString(),
              const QString& startDir = QString())
    {
        shown.push_back({kind, text, reason, startDir});
        if (onShow)
            onShow(shown.back());
    }
    QString NextPdf()
    {
        if (pdfFiles.empty())
            return {};
        QString n = pdfFiles.front();
        pdfFiles.pop_front();
        return n;
    }
    QString NextName()
    {
        if (fileNames.empty())
            return {};
        QString n = fileNames.front();
        fileNames.pop_front();
        return n;
    }
};

} // namespace tarko
