// Pictures the store client's window on the simulated store: a demo card,
// the catalogue, and the card update of the first chart set once done.
//
//   velamaris-screenshot OUTPUT.png        (QT_QPA_PLATFORM=offscreen works)

#include "browsercontrol.h"
#include "httpserver.h"
#include "mainwindow.h"
#include "messageboxes.h"
#include "storesimulator.h"
#include "webpage.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebFrame>

#include <cstdio>
#include <memory>

namespace {

bool write(const QString &path, const QByteArray &data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

// Last season's card, as scripts/demo makes it.
bool makeCard(const QString &root)
{
    return write(root + "/nTag.txt", "DEMO-0001\n")
        && write(root + "/Velamari/Index.txt",
                 "Directory: Naples\nType: Gold\nChart: Gulf of Naples\nVersion: 11\n"
                 "Edition date: 2025-04-01\nDescription: Demo chart set\n")
        && write(root + "/Velamari/Charts/NAP01.psg", QByteArray(1500000, 'c'))
        && QDir().mkpath(root + "/Velamari/Charts/UGC");
}

void quietHandler(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type != QtDebugMsg && type != QtInfoMsg)
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: velamaris-screenshot OUTPUT.png\n");
        return 2;
    }
    const QString output = QString::fromLocal8Bit(argv[1]);
    qInstallMessageHandler(quietHandler);
    QCoreApplication::setOrganizationName(QStringLiteral("Velamaris"));
    QCoreApplication::setApplicationName(QStringLiteral("Velamaris Tidemart"));
    MessageBoxes::answerAutomatically();

    QTemporaryDir work;
    const QString card = work.filePath(QStringLiteral("card"));
    HttpServer server;
    StoreSimulator store(&server, StoreSimulator::Options());
    if (!work.isValid() || !makeCard(card) || !server.listen() || !store.start()) {
        std::fprintf(stderr, "cannot prepare the demo card or the store\n");
        return 1;
    }

    MainWindow window(QStringLiteral("127.0.0.1:%1").arg(server.port()), card);
    auto script = [&window](const QString &code) {
        return window.page() ? window.page()->mainFrame()->evaluateJavaScript(code) : QVariant();
    };

    // Click "Install" once the catalogue is there, picture the window once the card is up to date.
    bool started = false;
    int result = 1;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!started && script(QStringLiteral("document.getElementsByClassName('chartset').length")).toInt() > 0) {
            started = true;
            script(QStringLiteral("document.querySelector('.chartset button').click()"));
        }
        const QString status = script(QStringLiteral("document.getElementById('status').className")).toString();
        if (!started || (status != QLatin1String("done") && status != QLatin1String("error")))
            return;
        poll.stop();
        window.showNormal();
        window.resize(1024, 700);
        // The progress bar slides to its end; let it arrive.
        QTimer::singleShot(1000, &app, [&] {
            result = window.grab().save(output) ? 0 : 1;
            if (result != 0)
                std::fprintf(stderr, "cannot write %s\n", qPrintable(output));
            app.quit();
        });
    });
    poll.start(100);
    QTimer::singleShot(120000, &app, [&app] {
        std::fprintf(stderr, "the store page did not finish in time\n");
        app.quit();
    });
    app.exec();
    return result;
}
