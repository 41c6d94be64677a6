#pragma once

#include <QString>
#include <QWidget>

// The plug-in's control: a framed box showing a text that the page's script
// sets, reporting mouse presses, moves and releases back to the script. The
// hosting layer exposes to the browser exactly what this class declares
// ("ToSuperClass"), in the order of its meta-object.
class VelIn : public QWidget
{
    Q_OBJECT
    Q_CLASSINFO("ClassID", "{5a22176d-118f-4185-9653-9f98958a6df8}")
    Q_CLASSINFO("InterfaceID", "{2df735ba-da4f-4fb7-8f35-b8dfbf8cfd9a}")
    Q_CLASSINFO("EventsID", "{449de213-f8bd-4d2e-a2cf-eab407c03245}")
    Q_CLASSINFO("MIME", "VelIn/very:xxx:VelIn")
    Q_CLASSINFO("ToSuperClass", "VelIn")
    Q_CLASSINFO("DefaultProperty", "text")
    Q_PROPERTY(QString text READ text WRITE setText)

public:
    VelIn();

    QString text() const;

signals:
    void mouseDown();
    void mouseMove(int x, int y);
    void mouseUp();

public slots:
    void about();
    void setText(const QString &text);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QString mText;
};
