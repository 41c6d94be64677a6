#include "storesimulator.h"

#include "generatedbody.h"
#include "httpserver.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <quazip.h>
#include <quazipfile.h>
#include <quazipnewinfo.h>

namespace {
const qint64 KiB = 1024;
const qint64 MiB = 1024 * 1024;

QByteArray resource(const QString &name)
{
    QFile file(QStringLiteral(":/storesim/") + name);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

// Writes an archive of count generated members of memberSize bytes each.
bool writeArchive(const QString &path, const QString &prefix, int count, qint64 memberSize, qint64 &unzipped)
{
    QuaZip zip(path);
    if (!zip.open(QuaZip::mdCreate))
        return false;
    unzipped = 0;
    for (int i = 0; i < count; ++i) {
        QuaZipFile member(&zip);
        const QString name = QStringLiteral("%1%2.ugc").arg(prefix).arg(i + 1, 3, 10, QLatin1Char('0'));
        if (!member.open(QIODevice::WriteOnly, QuaZipNewInfo(name)))
            return false;
        // Varied content so that the archive does not shrink to nothing.
        const QByteArray content = GeneratedBody::expected(memberSize, qint64(i) * 7919);
        if (member.write(content) != content.size())
            return false;
        member.close();
        unzipped += content.size();
    }
    zip.close();
    return zip.getZipError() == 0;
}
} // namespace

StoreSimulator::StoreSimulator(HttpServer *server, const Options &options, QObject *parent)
    : QObject(parent)
    , mServer(server)
    , mOptions(options)
{
}

StoreSimulator::~StoreSimulator() = default;

QString StoreSimulator::baseUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(mServer->port());
}

static void initStoreResources()
{
    Q_INIT_RESOURCE(storesim);
}

bool StoreSimulator::start()
{
    initStoreResources();
    mDataDir = mOptions.dataDir;
    if (mDataDir.isEmpty()) {
        mTemporaryData = std::make_unique<QTemporaryDir>();
        if (!mTemporaryData->isValid())
            return false;
        mDataDir = mTemporaryData->path();
    }
    if (!QDir().mkpath(mDataDir) || !buildSets())
        return false;
    addRoutes();
    return true;
}

bool StoreSimulator::buildSets()
{
    auto archive = [this](const QString &setId, const QString &destination, int count, qint64 memberSize,
                          ChartFile &file) {
        file.name = setId + QStringLiteral("-community.zip");
        file.destination = destination;
        file.localPath = QDir(mDataDir).filePath(file.name);
        file.totalFiles = count;
        if (!writeArchive(file.localPath, setId + QLatin1Char('-'), count, memberSize, file.unzippedSize))
            return false;
        file.size = QFileInfo(file.localPath).size();
        return true;
    };
    auto plain = [](const QString &name, qint64 size) {
        ChartFile file;
        file.name = name;
        file.destination = QStringLiteral("Velamari/Charts/") + name;
        file.size = size;
        return file;
    };

    ChartSet naples { QStringLiteral("naples"), QStringLiteral("Gulf of Naples"),
                      QStringLiteral("Tyrrhenian Sea, Italy"), {} };
    naples.files << plain(QStringLiteral("NAP01.psg"), 3 * MiB + 123) << plain(QStringLiteral("NAP02.psg"), 2 * MiB)
                 << plain(QStringLiteral("NAP-harbours.pp"), 180 * KiB) << plain(QStringLiteral("NAP-notes.txt"), 12 * KiB);
    ChartFile naplesArchive;
    if (!archive(QStringLiteral("naples"), QStringLiteral("Velamari/Charts/UGC/Naples"), 12, 40 * KiB, naplesArchive))
        return false;
    naples.files << naplesArchive;
    mSets << naples;

    ChartSet liguria { QStringLiteral("liguria"), QStringLiteral("Ligurian Coast"),
                       QStringLiteral("Genoa to La Spezia"), {} };
    liguria.files << plain(QStringLiteral("LIG01.psg"), 4 * MiB) << plain(QStringLiteral("LIG-approach.bp2"), 600 * KiB);
    mSets << liguria;

    ChartSet marks { QStringLiteral("marks"), QStringLiteral("Community marks"),
                     QStringLiteral("Fishing spots and anchorages shared by sailors"), {} };
    ChartFile marksArchive;
    if (!archive(QStringLiteral("marks"), QStringLiteral("Velamari/Charts/UGC/Marks"), 30, 8 * KiB, marksArchive))
        return false;
    marks.files << marksArchive;
    mSets << marks;

    if (mOptions.bigSetMib > 0) {
        // Three quarters in eight plain files, a quarter in one archive of 256 members.
        const qint64 total = qint64(mOptions.bigSetMib) * MiB;
        ChartSet big { QStringLiteral("bench"), QStringLiteral("Benchmark set"), QStringLiteral("Generated"), {} };
        for (int i = 0; i < 8; ++i)
            big.files << plain(QStringLiteral("BENCH%1.psg").arg(i + 1), total * 3 / 4 / 8);
        ChartFile bigArchive;
        if (!archive(QStringLiteral("bench"), QStringLiteral("Velamari/Charts/UGC/Bench"), 256, qMax<qint64>(1, total / 4 / 256),
                     bigArchive))
            return false;
        big.files << bigArchive;
        // The benchmark set carries checksums, so that a run checks every download.
        for (ChartFile &file : big.files)
            file.md5 = md5Of(file);
        mSets << big;
    }
    return true;
}

QString StoreSimulator::md5Of(const ChartFile &file)
{
    QCryptographicHash hash(QCryptographicHash::Md5);
    if (!file.localPath.isEmpty()) {
        QFile zip(file.localPath);
        if (zip.open(QIODevice::ReadOnly))
            hash.addData(&zip);
        return QString::fromLatin1(hash.result().toHex());
    }
    GeneratedBody body(file.size);
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (qint64 got; (got = body.read(buffer.data(), buffer.size())) > 0;)
        hash.addData(buffer.constData(), int(got));
    return QString::fromLatin1(hash.result().toHex());
}

QByteArray StoreSimulator::manifest(const QString &setId) const
{
    for (const ChartSet &set : mSets) {
        if (set.id != setId)
            continue;
        QJsonArray array;
        for (const ChartFile &file : set.files) {
            QJsonObject object;
            object.insert(QStringLiteral("name"), file.name);
            object.insert(QStringLiteral("size"), double(file.size));
            if (file.totalFiles > 0) {
                object.insert(QStringLiteral("unzipped_size"), double(file.unzippedSize));
                object.insert(QStringLiteral("total_files"), file.totalFiles);
            }
            object.insert(QStringLiteral("url"), baseUrl() + QStringLiteral("/files/") + set.id + QLatin1Char('/') + file.name);
            object.insert(QStringLiteral("destination_path"), file.destination);
            object.insert(QStringLiteral("md5"), file.md5);
            array.append(object);
        }
        return QJsonDocument(array).toJson(QJsonDocument::Compact);
    }
    return QByteArray();
}

QByteArray StoreSimulator::catalogue() const
{
    QJsonArray array;
    for (const ChartSet &set : mSets) {
        qint64 size = 0;
        int files = 0;
        for (const ChartFile &file : set.files) {
            size += file.totalFiles > 0 ? file.unzippedSize : file.size;
            files += file.totalFiles > 0 ? file.totalFiles : 1;
        }
        QJsonObject object;
        object.insert(QStringLiteral("id"), set.id);
        object.insert(QStringLiteral("name"), set.name);
        object.insert(QStringLiteral("region"), set.region);
        object.insert(QStringLiteral("files"), files);
        object.insert(QStringLiteral("size"), double(size));
        object.insert(QStringLiteral("manifest"), QStringLiteral("/manifests/") + set.id + QStringLiteral(".json"));
        object.insert(QStringLiteral("inline"), QString::fromLatin1(manifest(set.id)));
        array.append(object);
    }
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

QByteArray StoreSimulator::homePage() const
{
    QByteArray page = resource(QStringLiteral("home.html"));
    const QByteArray userId = QJsonDocument(QJsonArray { mOptions.sonarUserId }).toJson(QJsonDocument::Compact);
    const QByteArray settings = QStringLiteral("<script>window.paymentProviderDomain = \"%1\"; window.demoAutostart = %2; "
                                               "window.demoUserId = %3[0];</script>\n")
                                    .arg(mOptions.paymentDomain, mOptions.autostart ? QStringLiteral("true") : QStringLiteral("false"),
                                         QString::fromUtf8(userId))
                                    .toUtf8();
    page.replace("<script src=\"/static/store.js\">", settings + "<script src=\"/static/store.js\">");
    return page;
}

void StoreSimulator::addRoutes()
{
    const QByteArray html = "text/html; charset=utf-8";
    mServer->addRoute(HttpRoute::exact(QStringLiteral("/home"), [this, html](const HttpRequest &) {
        return HttpResponse::bytes(homePage(), html);
    }));
    mServer->addRoute(HttpRoute::exact(QStringLiteral("/"), [](const HttpRequest &) {
        return HttpResponse::redirect("/home");
    }));
    mServer->addRoute(HttpRoute::bytes(QStringLiteral("/static/store.css"), resource(QStringLiteral("store.css")), "text/css"));
    mServer->addRoute(HttpRoute::bytes(QStringLiteral("/static/store.js"), resource(QStringLiteral("store.js")),
                                       "application/javascript"));
    mServer->addRoute(HttpRoute::bytes(QStringLiteral("/help"), resource(QStringLiteral("help.html")), html));
    mServer->addRoute(HttpRoute::exact(QStringLiteral("/catalogue.json"), [this](const HttpRequest &) {
        return HttpResponse::bytes(catalogue(), "application/json");
    }));
    mServer->addRoute(HttpRoute::prefix(QStringLiteral("/manifests/"), [this](const HttpRequest &request) {
        QString id = request.path().mid(int(qstrlen("/manifests/")));
        id.chop(int(qstrlen(".json")));
        const QByteArray body = manifest(id);
        return body.isEmpty() ? HttpResponse::notFound() : HttpResponse::bytes(body, "application/json");
    }));
    HttpRoute files = HttpRoute::prefix(QStringLiteral("/files/"), [this](const HttpRequest &request) {
        const QStringList parts = request.path().split(QLatin1Char('/'), Qt::SkipEmptyParts);
        if (parts.size() != 3)
            return HttpResponse::notFound();
        for (const ChartSet &set : qAsConst(mSets)) {
            if (set.id != parts.at(1))
                continue;
            for (const ChartFile &file : set.files) {
                if (file.name != parts.at(2))
                    continue;
                if (!file.localPath.isEmpty())
                    return HttpResponse::file(file.localPath, "application/zip");
                return HttpResponse::generated(file.size);
            }
        }
        return HttpResponse::notFound();
    });
    if (mOptions.filesBytesPerSecond > 0)
        files.setFaults(HttpFaults::rateLimit(mOptions.filesBytesPerSecond));
    mServer->addRoute(files);

    const qint64 installerSize = 2 * MiB + 517;
    mServer->addRoute(HttpRoute::generated(QStringLiteral("/downloads/TidemartSetup.exe"), installerSize));
    mServer->addRoute(HttpRoute::exact(QStringLiteral("/installer.json"), [this, installerSize](const HttpRequest &) {
        QJsonObject object;
        object.insert(QStringLiteral("name"), QStringLiteral("TidemartSetup.exe"));
        object.insert(QStringLiteral("size"), double(installerSize));
        object.insert(QStringLiteral("url"), baseUrl() + QStringLiteral("/downloads/TidemartSetup.exe"));
        return HttpResponse::json(QJsonDocument(object));
    }));

    mServer->addRoute(HttpRoute::prefix(QStringLiteral("/devices/"), [this](const HttpRequest &request) {
        if (!request.path().endsWith(QLatin1String("_version")))
            return HttpResponse::notFound();
        const QString document = QStringLiteral("<update>\n  <version> %1 </version>\n  <versionId> %2 </versionId>\n"
                                                "  <url> %3/downloads/TidemartSetup-%1.exe </url>\n</update>\n")
                                     .arg(mOptions.versionText).arg(mOptions.versionId).arg(baseUrl());
        return HttpResponse::bytes(document.toUtf8(), "text/xml");
    }));
    mServer->addRoute(HttpRoute::prefix(QStringLiteral("/downloads/TidemartSetup-"), [](const HttpRequest &) {
        return HttpResponse::generated(MiB);
    }));

    addSonarRoutes();

    mServer->addRoute(HttpRoute::exact(QStringLiteral("/_demo/event"), [this](const HttpRequest &request) {
        const QJsonObject event = QJsonDocument::fromJson(request.body()).object();
        const QString kind = event.value(QStringLiteral("kind")).toString();
        const QString detail = event.value(QStringLiteral("detail")).toString();
        QMetaObject::invokeMethod(this, [this, kind, detail] { emit pageEvent(kind, detail); }, Qt::QueuedConnection);
        return HttpResponse::text(204, QByteArray());
    }).setRecorded(false));
}

void StoreSimulator::addSonarRoutes()
{
    mTrackUpload.install(mServer);
    mTimeZone.install(mServer);

    // What the services saw, for demos and clients in another process:
    // GET lists, DELETE forgets.
    mServer->addRoute(HttpRoute::exact(QStringLiteral("/_sonar/uploads"), [this](const HttpRequest &request) {
        if (request.method() == "DELETE") {
            mTrackUpload.clear();
            return HttpResponse::text(204, QByteArray());
        }
        return HttpResponse::json(QJsonDocument(mTrackUpload.toJson()));
    }).setRecorded(false));
    mServer->addRoute(HttpRoute::exact(QStringLiteral("/_sonar/timezone"), [this](const HttpRequest &request) {
        if (request.method() == "DELETE") {
            mTimeZone.clear();
            return HttpResponse::text(204, QByteArray());
        }
        QJsonArray array;
        for (const TimeZoneService::Query &query : mTimeZone.queries()) {
            QJsonObject object;
            object.insert(QStringLiteral("query"), QString::fromLatin1(query.rawQuery));
            object.insert(QStringLiteral("timezoneId"), query.timezoneId);
            object.insert(QStringLiteral("status"), query.status);
            object.insert(QStringLiteral("complaints"), QJsonArray::fromStringList(query.complaints));
            array.append(object);
        }
        return HttpResponse::json(QJsonDocument(array));
    }).setRecorded(false));
    // POST {"service": "upload"|"timezone", "fault": name, "count": n}.
    mServer->addRoute(HttpRoute::exact(QStringLiteral("/_sonar/faults"), [this](const HttpRequest &request) {
        const QJsonObject object = QJsonDocument::fromJson(request.body()).object();
        const QString service = object.value(QStringLiteral("service")).toString();
        const QString name = object.value(QStringLiteral("fault")).toString();
        const int count = object.value(QStringLiteral("count")).toInt(1);
        TrackUploadService::Fault uploadFault;
        TimeZoneService::Fault zoneFault;
        if (service == QLatin1String("upload") && TrackUploadService::faultFromName(name, &uploadFault))
            mTrackUpload.failNext(uploadFault, count);
        else if (service == QLatin1String("timezone") && TimeZoneService::faultFromName(name, &zoneFault))
            mTimeZone.failNext(zoneFault, count);
        else
            return HttpResponse::text(400, "unknown service or fault\n");
        return HttpResponse::text(204, QByteArray());
    }).setRecorded(false));
}
