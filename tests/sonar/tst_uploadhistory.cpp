#include "serverresponse.h"
#include "testsupport.h"
#include "tmpfsmount.h"
#include "trackformats.h"
#include "trackkey.h"
#include "uploadhistory.h"
#include "utcoffset.h"

#include <QDomDocument>
#include <QTemporaryDir>
#include <QtTest>

using TestSupport::readFile;
using TestSupport::writeFile;

// The track keys, the upload history they are kept in, and the answers of
// the two services, read from bytes as they arrive.
class UploadHistoryTest : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void searchOrderAndPatterns();
    void trackKeys_data();
    void trackKeys();
    void datSizeCountsCompanionFilesOnly();

    void firstAndSecondRecord();
    void everyKeyRoundTrips();
    void recordKeepsEarlierRecords_data();
    void recordKeepsEarlierRecords();
    void fullDiskLosesNoRecord();

    void uploadAnswers_data();
    void uploadAnswers();
    void timeZoneAnswers_data();
    void timeZoneAnswers();
    void timeZoneQueryNumbers();

private:
    QString path(const QString &relative) const { return mDir->filePath(relative); }
    QStringList keysIn(const QString &historyFile) const;
    std::unique_ptr<QTemporaryDir> mDir;
};

void UploadHistoryTest::init()
{
    mDir = std::make_unique<QTemporaryDir>();
    QVERIFY(mDir->isValid());
}

QStringList UploadHistoryTest::keysIn(const QString &historyFile) const
{
    QDomDocument document;
    if (!parseUploadHistory(readFile(historyFile), document))
        return { "<unreadable>" };
    QStringList keys;
    for (QDomElement e = document.documentElement().firstChildElement(); !e.isNull(); e = e.nextSiblingElement())
        keys << e.tagName();
    return keys;
}

// Depth first, names compared without case, folders and files mixed; the
// patterns from the formats file, by their last three characters.
void UploadHistoryTest::searchOrderAndPatterns()
{
    QVERIFY(writeFile(path("card/b.slg"), "b"));
    QVERIFY(writeFile(path("card/A/c.slg"), "c"));
    QVERIFY(writeFile(path("card/C.SLG"), "C"));
    QVERIFY(writeFile(path("card/A/notes.txt"), "n"));
    QVERIFY(writeFile(path("app/acceptedTrackFormats.xml"),
                      "<Accepted_Track_Formats><accepted_trackFormat>SLG</accepted_trackFormat>"
                      "<accepted_trackFormat>.sl2</accepted_trackFormat><accepted_trackFormat>x</accepted_trackFormat>"
                      "<accepted_trackFormat>slg</accepted_trackFormat></Accepted_Track_Formats>"));
    QStringList patterns;
    readAcceptedTrackFormats(path("app/acceptedTrackFormats.xml"), patterns);
    QCOMPARE(patterns, (QStringList { "*.slg", "*.sl2" }));
    QCOMPARE(findTrackFiles(path("card"), patterns),
             (QStringList { path("card/A/c.slg"), path("card/b.slg"), path("card/C.SLG") }));
}

void UploadHistoryTest::trackKeys_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("withDate");
    QTest::addColumn<QString>("key");
    QTest::newRow("replacements") << "My+Track (2)@sea.slg" << true
                                  << "TR_myplustrack__2_atsea.slg_2012-05-06T07:08:09_1234";
    QTest::newRow("all blanked characters") << "a b()[]{}\"&%$\u00a3!*^=.slg" << true
                                            << "TR_a_b______________eq.slg_2012-05-06T07:08:09_1234";
    QTest::newRow("without date") << "R00012_1.T3D" << false << "TR_r00012_1.t3d_0_1234";
    // Characters an XML name may not hold would make the whole history unreadable.
    QTest::newRow("xml-forbidden") << "a#b,c;d~e'f.slg" << true
                                   << "TR_a_x0023_b_x002C_c_x003B_d_x007E_e_x0027_f.slg_2012-05-06T07:08:09_1234";
    QTest::newRow("non-ascii") << "Fjörd.slg" << true << "TR_fj_x00F6_rd.slg_2012-05-06T07:08:09_1234";
}

void UploadHistoryTest::trackKeys()
{
    QFETCH(QString, name);
    QFETCH(bool, withDate);
    QFETCH(QString, key);
    const QString log = path(name);
    QVERIFY(writeFile(log, "x"));
    QFile file(log);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(QDateTime(QDate(2012, 5, 6), QTime(7, 8, 9), Qt::LocalTime),
                             QFileDevice::FileModificationTime));
    file.close();
    QCOMPARE(makeTrackKey(log, 1234, withDate), key);
}

void UploadHistoryTest::datSizeCountsCompanionFilesOnly()
{
    QVERIFY(writeFile(path("R00012.DAT"), "log"));
    QVERIFY(writeFile(path("R00012/a.bin"), QByteArray(10, 'a')));
    QVERIFY(writeFile(path("R00012/b.bin"), QByteArray(20, 'b')));
    QVERIFY(writeFile(path("R00012/.hidden"), QByteArray(7, 'h')));
    QVERIFY(writeFile(path("R00012/sub/c.bin"), QByteArray(40, 'c')));
    QCOMPARE(datTrackSize(path("R00012.DAT")), qint64(30));
    QCOMPARE(datTrackSize(path("R00013.DAT")), qint64(0));
}

void UploadHistoryTest::firstAndSecondRecord()
{
    const QString history = path("history.xml");
    QVERIFY(recordUploadedTrack(history, "TR_a.slg_0_1"));
    QCOMPARE(readFile(history), QByteArray("<!DOCTYPE History>\n<History>\n <TR_a.slg_0_1/>\n</History>\n"));
    QVERIFY(!QFile::exists(historyBackupPath(history)));

    QVERIFY(recordUploadedTrack(history, "TR_b.slg_0_2"));
    QCOMPARE(keysIn(history), (QStringList { "TR_a.slg_0_1", "TR_b.slg_0_2" }));
    QCOMPARE(keysIn(historyBackupPath(history)), QStringList { "TR_a.slg_0_1" });
    QCOMPARE(QDir(path("")).entryList(QDir::Files | QDir::Hidden).size(), 2);

    QDomDocument document;
    readUploadHistory(history, document);
    QVERIFY(historyHoldsTrack(document, "TR_b.slg_0_2"));
    QVERIFY(!historyHoldsTrack(document, "TR_c.slg_0_3"));
}

// Whatever the file name, its key can be written and found again.
void UploadHistoryTest::everyKeyRoundTrips()
{
    const QString history = path("history.xml");
    QStringList keys;
    for (const char *name : { "a#b.slg", "Ünïcödé 日本.slg", "quote\"'<>&.slg", "tab\tline\n.slg", "-x.slg" }) {
        QVERIFY(writeFile(path("logs/" + QString(name).remove(QChar(10))), "x"));
        keys << makeTrackKey(path("logs/" + QString(name).remove(QChar(10))), 1, false);
        QVERIFY(recordUploadedTrack(history, keys.last()));
    }
    QCOMPARE(keysIn(history), keys);
    QDomDocument document;
    readUploadHistory(history, document);
    for (const QString &key : qAsConst(keys))
        QVERIFY2(historyHoldsTrack(document, key), qPrintable(key));
}

// What the history held before a record is never lost by it.
void UploadHistoryTest::recordKeepsEarlierRecords_data()
{
    QTest::addColumn<QByteArray>("history");
    QTest::addColumn<QByteArray>("backup");
    QTest::addColumn<QStringList>("keysAfter");
    QTest::addColumn<QString>("keptAside");

    const QByteArray one = "<!DOCTYPE History>\n<History>\n <TR_one/>\n</History>\n";
    const QByteArray two = "<!DOCTYPE History>\n<History>\n <TR_one/>\n <TR_two/>\n</History>\n";
    QTest::newRow("unreadable history, backup's records carried") << QByteArray("<History><TR_two></Hist")
                                                                   << one << QStringList { "TR_one", "TR_new" }
                                                                   << "history.xml.unreadable";
    QTest::newRow("history missing, only the backup left") << QByteArray() << two
                                                          << QStringList { "TR_one", "TR_two", "TR_new" } << "";
    QTest::newRow("latin-1 history of older versions") << QByteArray("<History><TR_caf\xe9/></History>") << QByteArray()
                                                      << QStringList { QString::fromLatin1("TR_caf\xe9"), "TR_new" }
                                                      << "";
    QTest::newRow("empty history, no backup") << QByteArray("") << QByteArray() << QStringList { "TR_new" }
                                              << "history.xml.unreadable";
}

void UploadHistoryTest::recordKeepsEarlierRecords()
{
    QFETCH(QByteArray, history);
    QFETCH(QByteArray, backup);
    QFETCH(QStringList, keysAfter);
    QFETCH(QString, keptAside);
    const QString historyFile = path("history.xml");
    if (!history.isNull())
        QVERIFY(writeFile(historyFile, history));
    if (!backup.isEmpty())
        QVERIFY(writeFile(historyBackupPath(historyFile), backup));

    QVERIFY(recordUploadedTrack(historyFile, "TR_new"));
    QCOMPARE(keysIn(historyFile), keysAfter);
    if (!keptAside.isEmpty())
        QCOMPARE(readFile(path(keptAside)), history);
}

void UploadHistoryTest::fullDiskLosesNoRecord()
{
    TmpfsMount mount(path("small"), 3 * 4096);
    if (!mount.isMounted())
        QSKIP("cannot mount a small file system here");
    const QString history = path("small/history.xml");
    QVERIFY(recordUploadedTrack(history, "TR_first"));
    QVERIFY(recordUploadedTrack(history, "TR_second"));
    QVERIFY(writeFile(path("small/filler"), QByteArray(4096, 'f')));

    QVERIFY(!recordUploadedTrack(history, "TR_third"));
    QCOMPARE(keysIn(history), (QStringList { "TR_first", "TR_second" }));
    QCOMPARE(keysIn(historyBackupPath(history)), QStringList { "TR_first" });
    QCOMPARE(QDir(path("small")).entryList({ "history.xml*" }, QDir::Files | QDir::Hidden),
             (QStringList { "history.xml", "history.xml.bak" }));
}

void UploadHistoryTest::uploadAnswers_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("reason");
    QTest::newRow("success") << 200 << QByteArray("<R><Status>Success</Status></R>") << true << "";
    QTest::newRow("duplicate key") << 200
                                   << QByteArray("<R><Status>Error</Status><Message>ERROR: duplicate key value</Message></R>")
                                   << true << "";
    QTest::newRow("other error") << 200 << QByteArray("<R><Status>Error</Status><Message>bad user</Message></R>")
                                 << false << "bad user";
    QTest::newRow("Duplicate Key is another message")
        << 200 << QByteArray("<R><Status>Error</Status><Message>Duplicate Key</Message></R>") << false << "Duplicate Key";
    QTest::newRow("success with status 500") << 500 << QByteArray("<R><Status>Success</Status></R>") << false
                                             << "unknown server error";
    QTest::newRow("not xml") << 200 << QByteArray("Success") << false << "unknown server error";
    QTest::newRow("other status text") << 200 << QByteArray("<R><Status>OK</Status></R>") << false
                                       << "unknown server error";
}

void UploadHistoryTest::uploadAnswers()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(bool, accepted);
    QFETCH(QString, reason);
    const UploadVerdict verdict = readUploadAnswer(status, body);
    QCOMPARE(verdict.accepted, accepted);
    if (!accepted)
        QCOMPARE(verdict.reason, reason);
}

void UploadHistoryTest::timeZoneAnswers_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("offset");
    QTest::newRow("geonames") << QByteArray("<geonames><timezone tzversion=\"x\"><countryCode>DE</countryCode>"
                                            "<gmtOffset>1.0</gmtOffset><rawOffset>1.0</rawOffset></timezone></geonames>")
                              << "1.0";
    QTest::newRow("half hour") << QByteArray("<g><timezone><rawOffset>5.5</rawOffset></timezone></g>") << "5.5";
    QTest::newRow("status error form")
        << QByteArray("<geonames><status message=\"user does not exist.\" value=\"10\"/></geonames>") << QString();
    QTest::newRow("timezone not first") << QByteArray("<g><x/><timezone><rawOffset>2.0</rawOffset></timezone></g>")
                                        << QString();
    QTest::newRow("no rawOffset") << QByteArray("<g><timezone><gmtOffset>2.0</gmtOffset></timezone></g>") << QString();
    QTest::newRow("empty rawOffset") << QByteArray("<g><timezone><rawOffset> </rawOffset></timezone></g>") << QString();
    QTest::newRow("not xml") << QByteArray("rawOffset=2.0") << QString();
}

void UploadHistoryTest::timeZoneAnswers()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, offset);
    QString read = "unchanged";
    QCOMPARE(readTimeZoneAnswer(body, read), !offset.isNull());
    QCOMPARE(read, offset.isNull() ? QString("unchanged") : offset);
}

void UploadHistoryTest::timeZoneQueryNumbers()
{
    const QUrl service("http://127.0.0.1:8000/timezone");
    QCOMPARE(timeZoneQuery(service, 50.18862135, 9.99960731).toString(),
             QString("http://127.0.0.1:8000/timezone?lat=50.1886&lng=9.99961&radius=200&username=kelTR_4"));
    QCOMPARE(timeZoneQuery(service, -0.000123, 0.00001).query(),
             QString("lat=-0.000123&lng=1e-05&radius=200&username=kelTR_4"));
}

QTEST_GUILESS_MAIN(UploadHistoryTest)
#include "tst_uploadhistory.moc"
