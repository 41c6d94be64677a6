// The plug-in's control on its own: what a script engine sees of it, how it
// draws, and what its mouse signals report.

#include "velin.h"

#include <QMetaClassInfo>
#include <QMetaMethod>
#include <QMetaProperty>
#include <QTest>
#include <QWindow>

class TestVelIn : public QObject
{
    Q_OBJECT

private slots:
    void exposesOwnMembersInDeclarationOrder();
    void drawsTextCentredInFramedBox_data();
    void drawsTextCentredInFramedBox();
    void reportsDragWithRelativePositions();
};

void TestVelIn::exposesOwnMembersInDeclarationOrder()
{
    const QMetaObject &meta = VelIn::staticMetaObject;
    // A script engine told "ToSuperClass" = "VelIn" lists from the class's own offset on.
    QCOMPARE(QByteArray(meta.classInfo(meta.indexOfClassInfo("ToSuperClass")).value()), QByteArray("VelIn"));
    QStringList methods;
    for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
        const QMetaMethod m = meta.method(i);
        methods << QString::fromLatin1("%1 %2 %3 (%4)")
                       .arg(m.methodType() == QMetaMethod::Signal ? "signal" : "slot",
                            m.access() == QMetaMethod::Public ? "public" : "hidden",
                            QString::fromLatin1(m.methodSignature()),
                            QString::fromLatin1(m.parameterNames().join(',')));
    }
    QCOMPARE(methods, QStringList({"signal public mouseDown() ()", "signal public mouseMove(int,int) (x,y)",
                                   "signal public mouseUp() ()", "slot public about() ()",
                                   "slot public setText(QString) (text)"}));

    QCOMPARE(meta.propertyCount() - meta.propertyOffset(), 1);
    const QMetaProperty text = meta.property(meta.propertyOffset());
    QCOMPARE(QByteArray(text.name()), QByteArray("text"));
    QCOMPARE(text.userType(), int(QMetaType::QString));
    QVERIFY(text.isReadable() && text.isWritable() && text.isDesignable() && text.isScriptable()
            && text.isStored());

    QStringList infos;
    for (int i = meta.classInfoOffset(); i < meta.classInfoCount(); ++i)
        infos << QString::fromLatin1(meta.classInfo(i).name());
    QCOMPARE(infos, QStringList({"ClassID", "InterfaceID", "EventsID", "MIME", "ToSuperClass", "DefaultProperty"}));
    QCOMPARE(meta.indexOfClassInfo("Creatable"), -1);
}

void TestVelIn::drawsTextCentredInFramedBox_data()
{
    QTest::addColumn<bool>("setEmpty");
    QTest::newRow("fresh control shows Empty") << false;
    QTest::newRow("empty text leaves an empty box") << true;
}

void TestVelIn::drawsTextCentredInFramedBox()
{
    QFETCH(bool, setEmpty);
    VelIn control;
    control.resize(160, 60);
    if (setEmpty)
        control.setText(QString());
    const QImage image = control.grab().toImage();
    const QRgb pen = control.palette().color(QPalette::WindowText).rgb();
    const QRgb background = control.palette().color(QPalette::Window).rgb();
    QCOMPARE(image.size(), QSize(160, 60));

    // The frame lies on the outermost pixels, with background just inside.
    for (int x = 0; x < 160; ++x) {
        QCOMPARE(image.pixel(x, 0), pen);
        QCOMPARE(image.pixel(x, 59), pen);
        if (x > 0 && x < 159)
            QCOMPARE(image.pixel(x, 1), background);
    }
    for (int y = 0; y < 60; ++y) {
        QCOMPARE(image.pixel(0, y), pen);
        QCOMPARE(image.pixel(159, y), pen);
    }

    QRect ink;
    for (int y = 1; y < 59; ++y) {
        for (int x = 1; x < 159; ++x) {
            if (image.pixel(x, y) != background)
                ink |= QRect(x, y, 1, 1);
        }
    }
    if (setEmpty) {
        QVERIFY2(ink.isNull(), "an empty text draws nothing inside the frame");
        return;
    }
    QVERIFY(!ink.isNull());
    const QPoint offCentre = ink.center() - QRect(0, 0, 159, 59).center();
    QVERIFY2(qAbs(offCentre.x()) <= 2 && qAbs(offCentre.y()) <= 2,
             qPrintable(QString("text centred at %1,%2 off").arg(offCentre.x()).arg(offCentre.y())));
}

void TestVelIn::reportsDragWithRelativePositions()
{
    QWidget window;
    window.resize(300, 200);
    VelIn control;
    control.setParent(&window);
    control.setGeometry(40, 30, 160, 60);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QStringList seen;
    connect(&control, &VelIn::mouseDown, [&] { seen << "down"; });
    connect(&control, &VelIn::mouseMove, [&](int x, int y) { seen << QString("move %1 %2").arg(x).arg(y); });
    connect(&control, &VelIn::mouseUp, [&] { seen << "up"; });

    // Through the window, as the platform delivers input, in window coordinates.
    QWindow *handle = window.windowHandle();
    QTest::mouseMove(handle, QPoint(45, 35));
    QTest::mousePress(handle, Qt::LeftButton, {}, QPoint(50, 40));
    QTest::mouseMove(handle, QPoint(60, 45));
    QTest::mouseMove(handle, QPoint(75, 52));
    QTest::mouseRelease(handle, Qt::LeftButton, {}, QPoint(75, 52));
    QTest::mouseMove(handle, QPoint(90, 60));
    QCOMPARE(seen, QStringList({"down", "move 20 15", "move 35 22", "up"}));
}

QTEST_MAIN(TestVelIn)
#include "tst_velin.moc"
