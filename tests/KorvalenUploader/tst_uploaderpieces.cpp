#include "xearningscatalog.h"
#include "xrestrictions.h"
#include "xserviceanswer.h"
#include "xsession.h"
#include "xuploadbody.h"
#include "xuploadparts.h"
#include "maiaxmlwriter.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

// The uploader's pieces that need no page: renewal, splitting, scaling,
// restrictions, answers and the catalog.
class TestUploaderPieces : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void renewal();
    void split_data();
    void split();
    void body_data();
    void body();
    void photoCheck_data();
    void photoCheck();
    void restrictionsDefaults();
    void answers_data();
    void answers();
    void catalogBatches_data();
    void catalogBatches();
};

void TestUploaderPieces::renewal()
{
    const QString value = QString(48, QLatin1Char('a')) + QString(32, QLatin1Char('b'));
    const QString digest = XSession::passwordDigest(QStringLiteral("secret"));
    QCOMPARE(digest, QStringLiteral("5ebe2294ecd0e0f08eab7690d2a6ee69"));
    // Python: v[:48] + md5(v + md5(pw) + key)
    QCOMPARE(XSession::renewed(value, digest, QStringLiteral("key")),
             QString(48, QLatin1Char('a'))
                 + QString::fromLatin1(QCryptographicHash::hash((value + digest + QStringLiteral("key")).toUtf8(),
                                                                QCryptographicHash::Md5)
                                           .toHex()));
    XSession session(QStringLiteral("id"), QStringLiteral("key"), digest);
    session.setValue(value);
    session.renew();
    const QString once = session.value();
    QCOMPARE(once.size(), 80);
    session.renew();
    QVERIFY(session.value() != once);
    QCOMPARE(session.value(), XSession::renewed(once, digest, QStringLiteral("key")));
    // Latin-1 bytes of the password, as the service hashes them.
    QCOMPARE(XSession::passwordDigest(QString::fromUtf8("é")),
             QString::fromLatin1(QCryptographicHash::hash("\xe9", QCryptographicHash::Md5).toHex()));
}

void TestUploaderPieces::split_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<QList<int>>("sizes");
    QTest::newRow("ten") << 10 << QList<int> {2, 3, 2, 3};
    QTest::newRow("empty") << 0 << QList<int> {0, 0, 0, 0};
    QTest::newRow("three") << 3 << QList<int> {0, 1, 1, 1};
    QTest::newRow("sixteen") << 16 << QList<int> {4, 4, 4, 4};
}

void TestUploaderPieces::split()
{
    QFETCH(int, length);
    QFETCH(QList<int>, sizes);
    QByteArray text;
    for (int i = 0; i < length; ++i)
        text += char('A' + i % 26);
    XUploadParts parts(text);
    QString joined;
    for (int n = 0; n < XUploadParts::Count; ++n) {
        QCOMPARE(parts.part(n).size(), sizes.at(n));
        joined += parts.part(n);
    }
    QCOMPARE(joined, QString::fromLatin1(text));
}

void TestUploaderPieces::body_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("fromFile");
    QTest::addColumn<int>("shrinkTo");
    QTest::newRow("empty-file") << 0 << true << -1;
    QTest::newRow("one-byte") << 1 << true << -1;
    QTest::newRow("two-bytes-in-memory") << 2 << false << -1;
    QTest::newRow("ten-bytes-not-multiple-of-3") << 10 << true << -1;
    // Pieces that start inside a group of 3 bytes and cross the 768 KiB read blocks.
    QTest::newRow("3-MiB-plus-1") << 3 * 1024 * 1024 + 1 << true << -1;
    QTest::newRow("3-MiB-plus-2-in-memory") << 3 * 1024 * 1024 + 2 << false << -1;
    QTest::newRow("shrinks-while-sent") << 3 * 1024 * 1024 << true << 2 * 1024 * 1024;
    QTest::newRow("emptied-while-sent") << 3000 << true << 0;
    QTest::newRow("removed-while-sent") << 3000 << true << -2;
}

void TestUploaderPieces::body()
{
    QFETCH(int, size);
    QFETCH(bool, fromFile);
    QFETCH(int, shrinkTo);
    QByteArray data(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        data[i] = char((unsigned(i) * 7919u) >> 3);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("photo.bin"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(data) == size);
    file.close();
    XUploadBody body = fromFile ? XUploadBody(path, size) : XUploadBody(data);
    const XUploadParts reference(data.toBase64());
    QCOMPARE(body.textLength(), reference.length());
    if (shrinkTo >= 0)
        QVERIFY(file.resize(shrinkTo));
    else if (shrinkTo == -2)
        QVERIFY(file.remove());
    for (int n = 0; n < XUploadParts::Count; ++n) {
        // The member names sort the data first; a session value holding the markup must not confuse it.
        const QVariantMap part {{QStringLiteral("data"), QString()},
                                {QStringLiteral("part"), n},
                                {QStringLiteral("title"), QStringLiteral("<name>data</name><string></string>")}};
        const QVariantList args {QStringLiteral("<string></string>"), part};
        QVariantMap full = part;
        full.insert(QStringLiteral("data"), reference.part(n));
        QByteArray document;
        const bool ok = body.document(MaiaXmlWriter::methodCall(QStringLiteral("addPhoto"), args), n, &document);
        if (shrinkTo != -1) {
            // Whatever the piece, the missing bytes are found before anything is sent.
            if (!ok) {
                QVERIFY(document.isEmpty());
                QVERIFY2(body.errorString().contains(QLatin1String("changed while it was being sent")),
                         qPrintable(body.errorString()));
                return;
            }
            continue;
        }
        QVERIFY2(ok, qPrintable(body.errorString()));
        QCOMPARE(document, MaiaXmlWriter::methodCall(QStringLiteral("addPhoto"), {args.at(0), full}).toUtf8());
    }
    QCOMPARE(shrinkTo, -1);
}

void TestUploaderPieces::photoCheck_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("verdict");
    QTest::addColumn<QSize>("target");
    QTest::newRow("small-1000") << QSize(1000, 1000) << int(XRestrictions::TooSmall) << QSize(1000, 1000);
    QTest::newRow("narrow-height") << QSize(5000, 1000) << int(XRestrictions::TooSmall) << QSize(5000, 1000);
    QTest::newRow("ratio-6000x1100") << QSize(6000, 1100) << int(XRestrictions::WrongRatio) << QSize(6000, 1100);
    QTest::newRow("fits") << QSize(3000, 2000) << int(XRestrictions::Accepted) << QSize(3000, 2000);
    QTest::newRow("scaled-8000x6000") << QSize(8000, 6000) << int(XRestrictions::Accepted) << QSize(5537, 4153);
    // 100000 x 25000 overflows 32-bit arithmetic.
    QTest::newRow("panorama") << QSize(100000, 25000) << int(XRestrictions::Accepted) << QSize(9592, 2398);
    QTest::newRow("empty") << QSize(0, 0) << int(XRestrictions::TooSmall) << QSize(0, 0);
}

void TestUploaderPieces::photoCheck()
{
    QFETCH(QSize, size);
    QFETCH(int, verdict);
    QFETCH(QSize, target);
    XRestrictions r;
    QSize got;
    QCOMPARE(int(r.checkPhoto(size, &got)), verdict);
    QCOMPARE(got, target);
}

void TestUploaderPieces::restrictionsDefaults()
{
    const XRestrictions r =
        XRestrictions::fromVariant(QVariantMap {{QStringLiteral("exts"), QStringLiteral("JPG, .png,,")},
                                                {QStringLiteral("min_w"), QStringLiteral("12")},
                                                {QStringLiteral("max_r"), 7},
                                                {QStringLiteral("q"), 1.5}});
    QCOMPARE(r.exts, (QStringList {QStringLiteral("jpg"), QStringLiteral("png")}));
    QCOMPARE(r.minW, 1024);
    QCOMPARE(r.maxR, 7);
    QCOMPARE(r.q, 90);
    QVERIFY(r.allowsExtension(QStringLiteral("/a/b.PNG")));
    QVERIFY(!r.allowsExtension(QStringLiteral("/a/b.exe")));
    const XRestrictions none = XRestrictions::fromVariant(QVariant());
    QCOMPARE(none.maxSize, qint64(16777216));
    QCOMPARE(none.maxMpx, 24);
    QCOMPARE(none.minMpx, 4);
    QCOMPARE(none.minH, 1024);
    QVERIFY(none.allowsExtension(QStringLiteral("x.anything")));
}

void TestUploaderPieces::answers_data()
{
    QTest::addColumn<QVariant>("answer");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("error");
    const QVariantMap good {{QStringLiteral("status"), QStringLiteral("200")},
                            {QStringLiteral("output"), QVariantList {QVariantMap {{QStringLiteral("response"), 5}}}}};
    QTest::newRow("good") << QVariant(good) << true << QString();
    QTest::newRow("not-a-struct") << QVariant(QVariantList {}) << false << "not a struct";
    QTest::newRow("no-output") << QVariant(QVariantMap {{QStringLiteral("status"), 200}}) << false << "no \"output\"";
    QTest::newRow("output-not-list") << QVariant(QVariantMap {{QStringLiteral("output"), QStringLiteral("x")}}) << false
                                     << "not a list";
    QTest::newRow("empty-output") << QVariant(QVariantMap {{QStringLiteral("output"), QVariantList {}}}) << false
                                  << "not a list with elements";
    QTest::newRow("element-not-struct") << QVariant(QVariantMap {{QStringLiteral("output"), QVariantList {1}}}) << false
                                        << "is not a struct";
    QTest::newRow("no-response") << QVariant(QVariantMap {{QStringLiteral("output"), QVariantList {QVariantMap {}}}})
                                 << false << "no text \"response\"";
}

void TestUploaderPieces::answers()
{
    QFETCH(QVariant, answer);
    QFETCH(bool, ok);
    QFETCH(QString, error);
    XServiceAnswer reader(answer);
    QVariantMap first;
    QString response;
    QCOMPARE(reader.firstOutput(&first) && reader.text(first, QStringLiteral("response"), &response), ok);
    if (ok)
        QCOMPARE(response, QStringLiteral("5"));
    else
        QVERIFY2(reader.error().startsWith(QStringLiteral("malformed answer: ")) && reader.error().contains(error),
                 qPrintable(reader.error()));
}

void TestUploaderPieces::catalogBatches_data()
{
    QTest::addColumn<int>("days");
    QTest::addColumn<int>("inserts");
    QTest::newRow("one-day") << 1 << 1;
    QTest::newRow("16-days-one-insert-of-32") << 16 << 1;
    QTest::newRow("17-days-32-then-2") << 17 << 2;
    QTest::newRow("malformed-items-skipped") << 0 << 0;
}

void TestUploaderPieces::catalogBatches()
{
    QFETCH(int, days);
    QFETCH(int, inserts);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("catalog.dat"));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("setup"));
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("CREATE TABLE stock (ID INTEGER PRIMARY KEY, Earnings, Currency, Rate)")));
        QVERIFY(q.exec(QStringLiteral("INSERT INTO stock (ID) VALUES (1)")));
        QVERIFY(q.exec(QStringLiteral("CREATE TABLE stockstats (ID INTEGER PRIMARY KEY, Value, Type, Day, Month, "
                                      "Year, StockID)")));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("setup"));
    QStringList items {QStringLiteral("2024-01"), QStringLiteral("2024-01-02:x:1"), QStringLiteral("a:b")};
    for (int d = 1; d <= days; ++d)
        items << QStringLiteral("2024-03-%1:%2.25:%1").arg(d).arg(d * 10);
    const QVariantMap answer {{QStringLiteral("today"), QStringLiteral("2024-03-31")},
                              {QStringLiteral("currency"), QStringLiteral("EUR")},
                              {QStringLiteral("value"), 1200000.0},
                              {QStringLiteral("rate"), 0.5},
                              {QStringLiteral("data"), items.join(QLatin1Char('|'))}};
    XEarningsCatalog catalog(path);
    QCOMPARE(int(catalog.apply(answer)), int(XEarningsCatalog::Updated));
    QCOMPARE(catalog.inserts(), inserts);
    QCOMPARE(int(catalog.apply(answer)), int(XEarningsCatalog::Updated));
    QCOMPARE(catalog.inserts(), 0);
    QCOMPARE(XEarningsCatalog::numberText(1200000), QStringLiteral("1.2e+06"));
}

QTEST_GUILESS_MAIN(TestUploaderPieces)
#include "tst_uploaderpieces.moc"
