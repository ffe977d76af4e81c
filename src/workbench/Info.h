#pragma once
// The about box: the program's version over a picture.
#include <QDialog>

class QLabel;

namespace tarko {

class TInfoForm : public QDialog {
    Q_OBJECT
public:
    explicit TInfoForm(QWidget* parent = nullptr);
    QLabel* VersionLabel() const { return lVersion_; }

protected:
    void showEvent(QShowEvent* e) override;  // FormShow
    void paintEvent(QPaintEvent* e) override;

private:
    QLabel* lVersion_;
};

} // namespace tarko
