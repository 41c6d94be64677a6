// The stand-ins of the track-upload and time-zone services, spoken to over
// real HTTP on 127.0.0.1 with requests built here byte by byte.
#include "localhttpserver.h"
#include "storesimulator.h"
#include "timezoneservice.h"
#include "trackuploadservice.h"

#include <QDomDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QtTest>

namespace {

const QByteArray kBoundary = "__DATA_BOUNDARY__";
const QByteArray kFileBytes = QByteArray("PK\x03\x04\r\n--__DATA_BOUNDARY_\r\n\0\xff", 28) + QByteArray(300, 'x');

struct Request
{
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;
};

// The upload as the store client must send it.
Request exactUpload(const QByteArray &fileName, const QByteArray &userId = "user-17")
{
    const QByteArray crlf = "\r\n";
    const QByteArray format = fileName.endsWith(".zip") ? QByteArray("stk") : fileName.mid(fileName.indexOf('.') + 1);
    const QList<QPair<QByteArray, QByteArray>> fields = {
        { "function", "uploadTrack" },  { "userId", userId },          { "softwareId", "Velamaris Tidemart1.5.1" },
        { "deviceId", "Test_DeviceID" }, { "zIsDepth", "true" },       { "trackOffset", "0" },
        { "deltaPoolLevel", "" },       { "acquisitionPoolLevel", "" }, { "srid", "Mercator Lowrance" },
        { "vertUnits", "3" },           { "timeOffsetToUtc", "5.5" },   { "trackFormat", format },
        { "trackFilename", fileName },  { "trackPathname", "/tmp/ugd/stk-tracks" },
    };
    Request request;
    request.body = crlf + "--" + kBoundary + crlf;
    for (const auto &field : fields) {
        request.body += "Content-Disposition: form-data; name=\"" + field.first + '"'
            + (field.first == "trackPathname" ? " " : "") + crlf + crlf + field.second + crlf + "--" + kBoundary + crlf;
    }
    request.body += "Content-Disposition: form-data; name=\"trackData\"; filename=\"" + fileName + '"' + crlf
        + "Content-Type: application/zip" + crlf + crlf + kFileBytes + crlf + "--" + kBoundary + "--" + crlf;
    request.headers = { { "Accept", "*/*" },
                        { "User-Agent", "Velamaris" },
                        { "Accept-Encoding", "gzip, deflate" },
                        { "Content-Type", "multipart/form-data; boundary=" + kBoundary } };
    return request;
}

// The first child element of the root named "Status", and its "Message".
QPair<QString, QString> statusOf(const QByteArray &answer)
{
    QDomDocument document;
    if (!document.setContent(answer))
        return { QStringLiteral("not XML"), QString() };
    const QDomElement status = document.documentElement().firstChildElement(QStringLiteral("Status"));
    return { status.text(), status.nextSiblingElement(QStringLiteral("Message")).text() };
}

} // namespace

class TestSonarServices : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void exactUploadIsStoredOnceThenDuplicate();
    void brokenUploadIsComplainedAbout_data();
    void brokenUploadIsComplainedAbout();
    void uploadFaultsAnswerAsAsked_data();
    void uploadFaultsAnswerAsAsked();
    void timeZoneAnswersByPosition_data();
    void timeZoneAnswersByPosition();
    void timeZoneFaultsComeFirst();
    void storeServesBothOnItsPort();

private:
    struct Answer
    {
        int status = 0;
        QNetworkReply::NetworkError error = QNetworkReply::NoError;
        QByteArray body;
    };
    Answer post(const Request &request);
    Answer get(const QString &pathAndQuery);
    Answer finish(QNetworkReply *reply);

    LocalHttpServer mServer;
    TrackUploadService mUploads;
    TimeZoneService mZones;
    QNetworkAccessManager mNetwork;
};

void TestSonarServices::init()
{
    if (mServer.port() == 0) {
        QVERIFY(mServer.start());
        mUploads.install(&mServer.server());
        mZones.install(&mServer.server());
    }
    mUploads.clear();
    mZones.clear();
}

TestSonarServices::Answer TestSonarServices::finish(QNetworkReply *reply)
{
    Answer answer;
    if (!reply->isFinished()) {
        QSignalSpy finished(reply, &QNetworkReply::finished);
        finished.wait(30000);
    }
    answer.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    answer.error = reply->error();
    answer.body = reply->readAll();
    reply->deleteLater();
    return answer;
}

TestSonarServices::Answer TestSonarServices::post(const Request &request)
{
    QNetworkRequest networkRequest(mServer.url(QString::fromLatin1(TrackUploadService::path)));
    for (const auto &header : request.headers)
        networkRequest.setRawHeader(header.first, header.second);
    return finish(mNetwork.post(networkRequest, request.body));
}

TestSonarServices::Answer TestSonarServices::get(const QString &pathAndQuery)
{
    const int mark = pathAndQuery.indexOf(QLatin1Char('?'));
    QUrl url = mServer.url(pathAndQuery.left(mark));
    url.setQuery(pathAndQuery.mid(mark + 1));
    return finish(mNetwork.get(QNetworkRequest(url)));
}

void TestSonarServices::exactUploadIsStoredOnceThenDuplicate()
{
    const QByteArray name = "Log 1__2012_05_06__07_08_09__1500__3.zip";
    const Request request = exactUpload(name);

    Answer answer = post(request);
    QCOMPARE(answer.status, 200);
    QCOMPARE(statusOf(answer.body).first, QStringLiteral("Success"));

    QCOMPARE(mUploads.uploadCount(), 1);
    const TrackUploadService::Upload upload = mUploads.uploads().first();
    QCOMPARE(upload.complaints, QStringList());
    QCOMPARE(upload.body, request.body);
    QCOMPARE(upload.fileName, name);
    QCOMPARE(upload.fileData, kFileBytes);
    QCOMPARE(upload.field("trackFormat"), QByteArray("stk"));
    QCOMPARE(upload.field("timeOffsetToUtc"), QByteArray("5.5"));
    QCOMPARE(upload.fields.size(), 14);
    QVERIFY(upload.stored);

    // The same track again, and the same name from another user.
    answer = post(request);
    QCOMPARE(answer.status, 200);
    const QPair<QString, QString> duplicate = statusOf(answer.body);
    QCOMPARE(duplicate.first, QStringLiteral("Error"));
    QVERIFY2(duplicate.second.contains(QLatin1String("duplicate key")), qPrintable(duplicate.second));
    QCOMPARE(statusOf(post(exactUpload(name, "user-18")).body).first, QStringLiteral("Success"));
    QCOMPARE(mUploads.uploadCount(), 3);
    QVERIFY(!mUploads.uploads().at(1).stored);
}

void TestSonarServices::brokenUploadIsComplainedAbout_data()
{
    QTest::addColumn<QByteArray>("from");
    QTest::addColumn<QByteArray>("to");
    QTest::addColumn<QString>("complaint");

    const QByteArray crlf = "\r\n";
    const QByteArray delimiter = "--" + kBoundary;
    QTest::newRow("no CRLF before the first delimiter")
        << crlf + delimiter + crlf + "Content-Disposition: form-data; name=\"function\""
        << delimiter + crlf + "Content-Disposition: form-data; name=\"function\""
        << "open with exactly one CRLF";
    QTest::newRow("no blank on the trackPathname line")
        << QByteArray("name=\"trackPathname\" \r\n") << QByteArray("name=\"trackPathname\"\r\n") << "(trackPathname)";
    QTest::newRow("a blank on another line")
        << QByteArray("name=\"userId\"\r\n") << QByteArray("name=\"userId\" \r\n") << "(userId)";
    QTest::newRow("no CRLF before the closing delimiter")
        << kFileBytes + crlf + delimiter + "--" << kFileBytes + delimiter + "--" << "no closing delimiter";
    QTest::newRow("closing delimiter without CRLF")
        << delimiter + "--" + crlf << delimiter + "--" << "closing delimiter not followed by CRLF";
    QTest::newRow("bytes after the closing delimiter")
        << delimiter + "--" + crlf << delimiter + "--" + crlf + crlf << "2 bytes after the closing delimiter";
    QTest::newRow("file part without its type")
        << QByteArray("Content-Type: application/zip\r\n") << QByteArray() << "(trackData) has the header lines";
    QTest::newRow("fields out of order")
        << QByteArray("name=\"softwareId\"\r\n\r\nVelamaris Tidemart1.5.1")
        << QByteArray("name=\"deviceId\"\r\n\r\nVelamaris Tidemart1.5.1") << "part 3 is \"deviceId\"";
    QTest::newRow("wrong track format")
        << QByteArray("\r\n\r\nstk\r\n") << QByteArray("\r\n\r\nzip\r\n") << "trackFormat \"zip\"";
    QTest::newRow("software id with a blank")
        << QByteArray("Velamaris Tidemart1.5.1") << QByteArray("Velamaris Tidemart 1.5.1") << "softwareId";
    QTest::newRow("content type without boundary")
        << QByteArray("boundary=__DATA_BOUNDARY__") << QByteArray("charset=latin1") << "header Content-Type";
    QTest::newRow("no Accept header")
        << QByteArray("*/*") << QByteArray() << "header Accept is missing";
}

void TestSonarServices::brokenUploadIsComplainedAbout()
{
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, to);
    QFETCH(QString, complaint);

    Request request = exactUpload("track.zip");
    bool changed = false;
    for (auto &header : request.headers) {
        if (header.second.contains(from)) {
            header.second.replace(from, to);
            changed = true;
        }
    }
    if (!changed) {
        QVERIFY(request.body.contains(from));
        request.body.replace(request.body.indexOf(from), from.size(), to);
    }
    const Answer answer = post(request);
    QCOMPARE(answer.error, QNetworkReply::NoError);

    const QStringList complaints = mUploads.uploads().value(0).complaints;
    QVERIFY2(!complaints.filter(complaint).isEmpty(), qPrintable(complaints.join(QLatin1Char('\n'))));
}

void TestSonarServices::uploadFaultsAnswerAsAsked_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("answerStatus");
    QTest::addColumn<bool>("networkError");
    // The upload that follows finds the track stored.
    QTest::addColumn<bool>("storedAnyway");

    QTest::newRow("error answer") << "error" << 200 << "Error" << false << false;
    // Qt reports a status of 400 and above as a reply error too.
    QTest::newRow("status 500") << "status500" << 500 << "not XML" << true << false;
    QTest::newRow("not XML") << "notxml" << 200 << "not XML" << false << false;
    QTest::newRow("cut after storing") << "cut" << 200 << "" << true << true;
}

void TestSonarServices::uploadFaultsAnswerAsAsked()
{
    QFETCH(QString, fault);
    QFETCH(int, status);
    QFETCH(QString, answerStatus);
    QFETCH(bool, networkError);
    QFETCH(bool, storedAnyway);

    TrackUploadService::Fault kind;
    QVERIFY(TrackUploadService::faultFromName(fault, &kind));
    mUploads.failNext(kind);
    const Answer faulty = post(exactUpload("a.b.t3d"));
    QCOMPARE(faulty.error != QNetworkReply::NoError, networkError);
    if (!storedAnyway) {
        QCOMPARE(faulty.status, status);
        QCOMPARE(statusOf(faulty.body).first, answerStatus);
        QVERIFY(!statusOf(faulty.body).second.contains(QLatin1String("duplicate key")));
    }
    QCOMPARE(mUploads.uploads().first().complaints, QStringList());

    // The fault was for one upload only.
    const QPair<QString, QString> next = statusOf(post(exactUpload("a.b.t3d")).body);
    QCOMPARE(next.first, storedAnyway ? QStringLiteral("Error") : QStringLiteral("Success"));
    QCOMPARE(next.second.contains(QLatin1String("duplicate key")), storedAnyway);
}

void TestSonarServices::timeZoneAnswersByPosition_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("rawOffset");   // empty: the status form
    QTest::addColumn<QString>("statusValue");
    QTest::addColumn<int>("complaints");

    const QString tail = QStringLiteral("&radius=200&username=kelTR_4");
    QTest::newRow("Naples") << "lat=40.8359&lng=14.2488" + tail << "1.0" << "" << 0;
    QTest::newRow("the design's example point") << "lat=50.1886&lng=9.99961" + tail << "1.0" << "" << 0;
    QTest::newRow("off New York") << "lat=40.5&lng=-73.9" + tail << "-5.0" << "" << 0;
    QTest::newRow("off Mumbai") << "lat=18.9&lng=72.75" + tail << "5.5" << "" << 0;
    // gmtOffset comes before rawOffset and differs from it there.
    QTest::newRow("off Sydney") << "lat=-33.8&lng=151.4" + tail << "10.0" << "" << 0;
    QTest::newRow("mid-Atlantic") << "lat=30&lng=-40" + tail << "" << "15" << 0;
    QTest::newRow("no username") << QStringLiteral("lat=40.8359&lng=14.2488&radius=200&username=") << "" << "10" << 0;
    QTest::newRow("keys in another order") << "lng=14.2488&lat=40.8359" + tail << "1.0" << "" << 1;
    QTest::newRow("too many digits") << "lat=40.83591&lng=14.2488" + tail << "1.0" << "" << 1;
}

void TestSonarServices::timeZoneAnswersByPosition()
{
    QFETCH(QString, query);
    QFETCH(QString, rawOffset);
    QFETCH(QString, statusValue);
    QFETCH(int, complaints);

    const Answer answer = get(QStringLiteral("/timezone?") + query);
    QCOMPARE(answer.status, 200);
    QDomDocument document;
    QVERIFY(document.setContent(answer.body));
    QCOMPARE(document.documentElement().tagName(), QStringLiteral("geonames"));
    const QDomElement first = document.documentElement().firstChildElement();
    if (rawOffset.isEmpty()) {
        QCOMPARE(first.tagName(), QStringLiteral("status"));
        QCOMPARE(first.attribute(QStringLiteral("value")), statusValue);
        QVERIFY(!first.attribute(QStringLiteral("message")).isEmpty());
    } else {
        QCOMPARE(first.tagName(), QStringLiteral("timezone"));
        QCOMPARE(first.firstChildElement(QStringLiteral("rawOffset")).text(), rawOffset);
        QVERIFY(!first.firstChildElement(QStringLiteral("timezoneId")).text().isEmpty());
    }
    QCOMPARE(mZones.rawQueries(), QStringList { query });
    QCOMPARE(mZones.queries().first().complaints.size(), complaints);
}

void TestSonarServices::timeZoneFaultsComeFirst()
{
    const QString naples = QStringLiteral("/timezone?lat=40.8359&lng=14.2488&radius=200&username=kelTR_4");
    mZones.failNext(TimeZoneService::Fault::StatusAnswer);
    mZones.failNext(TimeZoneService::Fault::HttpStatus503);
    mZones.failNext(TimeZoneService::Fault::Cut);

    Answer answer = get(naples);
    QDomDocument document;
    QVERIFY(document.setContent(answer.body));
    QCOMPARE(document.documentElement().firstChildElement().attribute(QStringLiteral("value")), QStringLiteral("18"));
    QCOMPARE(get(naples).status, 503);
    QVERIFY(get(naples).error != QNetworkReply::NoError);
    answer = get(naples);
    QVERIFY(document.setContent(answer.body));
    QCOMPARE(document.documentElement().firstChildElement().firstChildElement(QStringLiteral("rawOffset")).text(),
             QStringLiteral("1.0"));
    QCOMPARE(mZones.queries().size(), 4);
}

void TestSonarServices::storeServesBothOnItsPort()
{
    LocalHttpServer storeServer;
    QVERIFY(storeServer.start());
    StoreSimulator store(&storeServer.server(), StoreSimulator::Options());
    QVERIFY(store.start());
    QSignalSpy received(&store.trackUploadService(), &TrackUploadService::uploadReceived);

    QNetworkRequest request(storeServer.url(QString::fromLatin1(TrackUploadService::path)));
    const Request upload = exactUpload("x.t3d");
    for (const auto &header : upload.headers)
        request.setRawHeader(header.first, header.second);
    QCOMPARE(statusOf(finish(mNetwork.post(request, upload.body)).body).first, QStringLiteral("Success"));
    QVERIFY(received.count() == 1 || received.wait());
    QVERIFY(received.first().first().toString().contains(QLatin1String("file=\"x.t3d\"")));

    // The listing for clients in another process, and the zone on the same port.
    const QJsonArray listing = QJsonDocument::fromJson(
        finish(mNetwork.get(QNetworkRequest(storeServer.url(QStringLiteral("/_sonar/uploads"))))).body).array();
    QCOMPARE(listing.size(), 1);
    QCOMPARE(listing.first().toObject().value(QStringLiteral("fileSize")).toInt(), kFileBytes.size());
    QUrl zoneUrl = storeServer.url(QString::fromLatin1(TimeZoneService::path));
    zoneUrl.setQuery(QStringLiteral("lat=18.9&lng=72.75&radius=200&username=kelTR_4"));
    const Answer zone = finish(mNetwork.get(QNetworkRequest(zoneUrl)));
    QVERIFY2(zone.body.contains("<rawOffset>5.5</rawOffset>"), zone.body.constData());
    QCOMPARE(store.timeZoneService().rawQueries().size(), 1);
}

QTEST_GUILESS_MAIN(TestSonarServices)
#include "tst_sonarservices.moc"
