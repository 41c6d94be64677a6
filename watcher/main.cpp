#include "serverhosts.h"
#include "velamarischecker.h"

#include <QCoreApplication>
#include <QTimer>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // The store client's identity, so that both share one settings store.
    QCoreApplication::setOrganizationName(QStringLiteral("Velamaris"));
    QCoreApplication::setOrganizationDomain(ServerHosts::organizationDomain());
    QCoreApplication::setApplicationName(QStringLiteral("Velamaris Tidemart"));

    auto *checker = new VelamarisChecker();
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, checker, &VelamarisChecker::scanVolumes);
    timer.start(1000);

    const int result = app.exec();
    delete checker;
    return result;
}
