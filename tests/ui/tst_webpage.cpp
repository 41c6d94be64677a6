#include "buildconfig.h"
#include "webpage.h"

#include <QNetworkRequest>
#include <QWebFrame>
#include <QtTest>

namespace {
// The page's navigation hook, reachable from the test.
class OpenWebPage : public webPage
{
public:
    using webPage::acceptNavigationRequest;
};

const QString kDomain = QStringLiteral(TIDEMART_PAYMENT_DOMAIN);
} // namespace

Q_DECLARE_METATYPE(QWebPage::NavigationType)

// Which navigations the store page refuses: only the payment provider's
// merchant-payment form, which the main window replaces by the return URL.
class WebPageTest : public QObject
{
    Q_OBJECT

private slots:
    void navigationPolicy_data();
    void navigationPolicy();
};

void WebPageTest::navigationPolicy_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QWebPage::NavigationType>("type");
    QTest::addColumn<bool>("refused");

    const QString returnForm = "https://www." + kDomain + "/cgi-bin/merchantpaymentweb?cmd=_return";
    const auto form = QWebPage::NavigationTypeFormSubmitted;
    QTest::newRow("provider's return form") << returnForm << form << true;
    QTest::newRow("form sent again") << returnForm << QWebPage::NavigationTypeFormResubmitted << true;
    QTest::newRow("sub-domain of www")
        << "https://www.sand-box_1.eu." + kDomain + "/merchantpaymentweb?x=1" << form << true;
    QTest::newRow("provider named anywhere in the address")
        << "http://127.0.0.1:8080/go?to=www." + kDomain + "/merchantpaymentweb?cmd=_return" << form << true;

    QTest::newRow("link to the same address") << returnForm << QWebPage::NavigationTypeLinkClicked << false;
    QTest::newRow("typed address") << returnForm << QWebPage::NavigationTypeOther << false;
    QTest::newRow("reload") << returnForm << QWebPage::NavigationTypeReload << false;
    QTest::newRow("back") << returnForm << QWebPage::NavigationTypeBackOrForward << false;
    QTest::newRow("form to another host") << "http://127.0.0.1:8080/merchantpaymentweb?cmd=_return" << form << false;
    QTest::newRow("other form of the provider") << "https://www." + kDomain + "/cgi-bin/webscr?cmd=_x" << form
                                                << false;
    QTest::newRow("no question mark") << "https://www." + kDomain + "/merchantpaymentweb" << form << false;
    QTest::newRow("host without www") << "https://pay." + kDomain + "/merchantpaymentweb?a" << form << false;
    QTest::newRow("www glued to the domain") << "https://www" + kDomain + "/merchantpaymentweb?a" << form << false;
    QString undotted = kDomain;
    undotted.replace('.', 'x');
    QTest::newRow("domain dots are literal") << "https://www." + undotted + "/merchantpaymentweb?a" << form << false;
    // Host names are lower case in any URL; the rest of the text keeps its case.
    QTest::newRow("provider named in capitals")
        << "http://127.0.0.1:8080/go?to=WWW." + kDomain.toUpper() + "/merchantpaymentweb?a" << form << false;
    QTest::newRow("path in other case") << "https://www." + kDomain + "/MerchantPaymentWeb?a" << form << false;
}

void WebPageTest::navigationPolicy()
{
    QFETCH(QString, url);
    QFETCH(QWebPage::NavigationType, type);
    QFETCH(bool, refused);

    OpenWebPage page;
    QSignalSpy returned(&page, &webPage::returnToStore);
    QCOMPARE(page.acceptNavigationRequest(page.mainFrame(), QNetworkRequest(QUrl(url)), type), !refused);
    QCOMPARE(returned.count(), refused ? 1 : 0);
}

QTEST_MAIN(WebPageTest)
#include "tst_webpage.moc"
