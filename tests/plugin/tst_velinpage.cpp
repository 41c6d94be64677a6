// npVelIn in the real web engine on a real X display (Xvfb): the store
// client's plug-in hosting turns it on, a page embeds the content type,
// scripts the control and receives its mouse events from clicks on the view.

#include "pluginhosting.h"

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QWebFrame>
#include <QWebSettings>
#include <QWebView>
#include <QWindow>

namespace {

const QPoint controlAt(40, 30);
const QSize controlSize(200, 80);

const char page[] = R"(<!DOCTYPE html>
<html><body style="margin:0">
<object id="control" type="VelIn/very" width="200" height="80"
        style="position:absolute; left:40px; top:30px">no plug-in</object>
<script>
var seen = [];
var control = document.getElementById('control');
control.addEventListener('mouseDown', function () { seen.push('down'); });
control.addEventListener('mouseMove', function (e) { seen.push('move ' + e.detail.x + ' ' + e.detail.y); });
control.addEventListener('mouseUp', function () { seen.push('up'); });
</script>
</body></html>)";

} // namespace

class TestVelInPage : public QObject
{
    Q_OBJECT

private slots:
    void pageScriptsControlAndHearsItsMouse();

private:
    QString script(const QString &code);

    QWebView *mView = nullptr;
};

QString TestVelInPage::script(const QString &code)
{
    return mView->page()->mainFrame()->evaluateJavaScript(code).toString();
}

void TestVelInPage::pageScriptsControlAndHearsItsMouse()
{
    QCOMPARE(QGuiApplication::platformName(), QString("xcb"));
    QWebView view;
    mView = &view;
    QVERIFY(hostPlugins(view.settings(), qEnvironmentVariable("VELAMARIS_BIN_DIR") + "/plugins"));
    view.resize(400, 200);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.setHtml(QString::fromLatin1(page), QUrl("http://127.0.0.1/"));

    // The engine creates the plug-in once the page is laid out.
    QTRY_COMPARE_WITH_TIMEOUT(script("String(control.text)"), QString("Empty"), 60000);
    QCOMPARE(script("control.text = 'Harbour'; control.text"), QString("Harbour"));
    QCOMPARE(script("control.setText('Quay 4'); control.text"), QString("Quay 4"));

    // The control paints itself into the page: its frame on the box's edges, the text inside.
    const QRect box(controlAt, controlSize);
    const QRgb pen = view.palette().color(QPalette::WindowText).rgb();
    const QRgb background = view.palette().color(QPalette::Window).rgb();
    QTRY_COMPARE_WITH_TIMEOUT(view.grab().toImage().pixel(box.topLeft()), pen, 30000);
    const QImage shot = view.grab().toImage();
    for (const QPoint &edge : {box.topRight(), box.bottomLeft(), box.bottomRight(), QPoint(box.center().x(), box.bottom())})
        QCOMPARE(shot.pixel(edge), pen);
    QCOMPARE(shot.pixel(box.topLeft() + QPoint(1, 1)), background);
    int ink = 0;
    for (int x = box.left() + 1; x < box.right(); ++x)
        ink += shot.pixel(x, box.center().y()) != background;
    QVERIFY2(ink > 0, "the text is drawn across the middle of the box");

    // Clicks on the view reach the control through the engine, in the control's coordinates.
    // The window's overloads deliver as the platform does, without moving the X pointer.
    QWindow *window = view.windowHandle();
    QTest::mouseMove(window, controlAt + QPoint(5, 5));
    QTest::mousePress(window, Qt::LeftButton, {}, controlAt + QPoint(10, 10));
    QTest::mouseMove(window, controlAt + QPoint(30, 20));
    QTest::mouseRelease(window, Qt::LeftButton, {}, controlAt + QPoint(30, 20));
    QTest::mouseMove(window, controlAt + QPoint(50, 40));
    QTRY_COMPARE(script("seen.join(',')"), QString("down,move 30 20,up"));

    // about() shows the box about Qt; close it once it is up.
    bool boxShown = false;
    QTimer closer;
    connect(&closer, &QTimer::timeout, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            boxShown = true;
            box->close();
        }
    });
    closer.start(50);
    QCOMPARE(script("control.about(); 'back'"), QString("back"));
    QVERIFY(boxShown);

    // A handler may take the control out of the page while the plug-in is reporting to it.
    script("control.addEventListener('mouseDown', function () { control.parentNode.removeChild(control); });");
    QTest::mousePress(window, Qt::LeftButton, {}, controlAt + QPoint(10, 10));
    QTest::mouseRelease(window, Qt::LeftButton, {}, controlAt + QPoint(10, 10));
    QTRY_COMPARE(script("String(document.getElementById('control'))"), QString("null"));
    QCOMPARE(script("seen.join(',')"), QString("down,move 30 20,up,down"));
}

QTEST_MAIN(TestVelInPage)
#include "tst_velinpage.moc"
