#include "messageboxes.h"

#include <cstdio>

namespace {
MessageBoxes::Handler &handler()
{
    static MessageBoxes::Handler instance;
    return instance;
}

QMessageBox::StandardButton firstButton(QMessageBox::StandardButtons buttons)
{
    for (int bit = QMessageBox::FirstButton; bit <= QMessageBox::LastButton; bit <<= 1) {
        if (buttons & bit)
            return QMessageBox::StandardButton(bit);
    }
    return QMessageBox::NoButton;
}
} // namespace

QMessageBox::StandardButton MessageBoxes::show(const MessageBoxRequest &request, QWidget *parent)
{
    if (handler())
        return handler()(request);
    QMessageBox box(request.icon, request.title, request.text, request.buttons, parent);
    if (!request.informativeText.isEmpty())
        box.setInformativeText(request.informativeText);
    if (request.defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(request.defaultButton);
    return QMessageBox::StandardButton(box.exec());
}

void MessageBoxes::setHandler(Handler newHandler)
{
    handler() = std::move(newHandler);
}

void MessageBoxes::answerAutomatically()
{
    setHandler([](const MessageBoxRequest &request) {
        std::fprintf(stderr, "[%s] %s %s\n", qPrintable(request.title), qPrintable(request.text),
                     qPrintable(request.informativeText));
        return request.defaultButton != QMessageBox::NoButton ? request.defaultButton : firstButton(request.buttons);
    });
}
