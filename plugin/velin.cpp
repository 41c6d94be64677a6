#include "velin.h"

#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>

VelIn::VelIn()
{
    setText(QStringLiteral("Empty"));
}

QString VelIn::text() const
{
    return mText;
}

void VelIn::about()
{
    QMessageBox::aboutQt(this, QString());
}

void VelIn::setText(const QString &text)
{
    mText = text;
    update();
}

void VelIn::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    // One pixel narrower and lower, so that the frame lies on the widget's own edges.
    const QRect box(0, 0, width() - 1, height() - 1);
    painter.drawRect(box);
    painter.drawText(box, Qt::AlignCenter, mText);
}

void VelIn::mousePressEvent(QMouseEvent *)
{
    emit mouseDown();
}

void VelIn::mouseMoveEvent(QMouseEvent *event)
{
    emit mouseMove(event->x(), event->y());
}

void VelIn::mouseReleaseEvent(QMouseEvent *)
{
    emit mouseUp();
}
