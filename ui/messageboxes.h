#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>

class QWidget;

// Every message box of the store client goes through here, so that a test
// (or a run without a user) can answer it instead of blocking on it.
struct MessageBoxRequest
{
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString title;
    QString text;
    QString informativeText;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
};

class MessageBoxes
{
public:
    using Handler = std::function<QMessageBox::StandardButton(const MessageBoxRequest &)>;

    // Shows the box (or hands it to the installed handler) and returns the button pressed.
    static QMessageBox::StandardButton show(const MessageBoxRequest &request, QWidget *parent = nullptr);

    // Replaces the real boxes; an empty handler restores them.
    static void setHandler(Handler handler);

    // Answers every box with its default button (or the first button) and
    // writes its text to standard error: for runs without a user.
    static void answerAutomatically();
};
