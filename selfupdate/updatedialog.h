#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// The mandatory update dialog: update now or leave the program.
class UpdateDialog : public QDialog
{
    Q_OBJECT

public:
    explicit UpdateDialog(QWidget *parent = nullptr);

    void setVersionText(const QString &version);
    QPushButton *updateButton() const { return mUpdateButton; }
    QPushButton *exitButton() const { return mExitButton; }

private slots:
    void on_updateButton_clicked();
    void on_exitButton_clicked();

private:
    QLabel *mVersionLabel;
    QPushButton *mUpdateButton;
    QPushButton *mExitButton;
};
