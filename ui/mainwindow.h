#pragma once

#include <QMainWindow>
#include <QString>

// The store client's only window.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    MainWindow(const QString &serverHost, const QString &cardPath, QWidget *parent = nullptr);
    ~MainWindow() override;

    // Checks for a newer version at most once every four hours.
    void stateResetSlot();

public slots:
    void setApplicationTitle(int percentage);
    void setApplicationTitle();

private:
    QString mCardPath;
    QString mEditionLabel;
    QString mServerHost;
};
