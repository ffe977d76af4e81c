#pragma once
// The options dialog (editor options, project folder and help file, printing
// options) and the folder picker it uses for the project folder.
#include <QDialog>
#include <QDir>
#include <functional>

class QCheckBox;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QTabWidget;

namespace tarko {

class TDialogs;
struct TInis;

// Places a dialog in the middle of the screen that holds `reference` (the
// main window), not over its parent window.
void CenterOnScreen(QWidget* dialog, const QWidget* reference);

// The folder picker: the root, the folders down to the open one, and the
// open folder's sub-folders; a double click opens a folder.
class TDirListForm : public QDialog {
    Q_OBJECT
public:
    explicit TDirListForm(QWidget* parent = nullptr);
    QString Folder() const { return folder_.absolutePath(); }
    void OpenFolder(const QString& path);
    QListWidget* List() const { return list_; }

private:
    void Fill();
    QDir folder_;
    QListWidget* list_;
};

class TOptionForm : public QDialog {
    Q_OBJECT
public:
    // `applied` runs after OK has taken the fields over (tab stops, open
    // folder, colours).
    TOptionForm(TInis& inis, TDialogs& dialogs, std::function<void()> applied, QWidget* parent = nullptr);

    // The printing options are read directly by the printing commands.
    int LinkerRand() const;
    bool ZeilenNr() const;
    bool DateiDruck() const;

    QTabWidget* Pages() const { return pcOption_; }
    QLineEdit* Field(const QString& componentName) const;
    QCheckBox* Box(const QString& componentName) const;
    TDirListForm* DirList() const { return dirList_; }

    void B_OKClick();

protected:
    void showEvent(QShowEvent* e) override;  // FormShow
    bool eventFilter(QObject* watched, QEvent* e) override;  // E_AppYKeyPress

private:
    TInis& inis_;
    TDialogs& dialogs_;
    std::function<void()> applied_;
    QTabWidget* pcOption_;
    QLineEdit *eTabs_, *eProjektDir_, *eHilfeDir_, *eLinkerRand_;
    QCheckBox *cbAutoTab_, *cbAutoFormat_, *cbZeilenNr_, *cbDateiDruck_, *cbKontrast_;
    TDirListForm* dirList_;
};

} // namespace tarko
