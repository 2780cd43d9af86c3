#include "core/xcookierecord.h"
#include "veskharness.h"
#include "web/xcookiejar.h"
#include "web/xwebview.h"
#include "window/xwebwindow.h"

#include <QDateTime>
#include <QWebFrame>
#include <QtTest>

#include <memory>

class TestCookies : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void roundTrip_data();
    void roundTrip();
    void fromRecord_data();
    void fromRecord();
    void fromRecords_data();
    void fromRecords();
    void throughPages();
};

void TestCookies::roundTrip_data()
{
    QTest::addColumn<QByteArray>("setCookie");
    QTest::addColumn<QString>("expiration");
    QTest::addColumn<QString>("value64");

    QTest::newRow("session") << QByteArray("a=b; Domain=example.org; Path=/") << "4294967295"
                             << "Yg==";
    QTest::newRow("expires") << QByteArray("a=b; Expires=Sat, 01 Jan 2033 00:00:00 GMT") << "1988150400"
                             << "Yg==";
    QTest::newRow("before-1970-is-zero") << QByteArray("a=b; Expires=Thu, 01 Jan 1960 00:00:00 GMT") << "0"
                                         << "Yg==";
    QTest::newRow("past-2106-clamped") << QByteArray("a=b; Expires=Thu, 01 Jan 2200 00:00:00 GMT") << "4294967295"
                                       << "Yg==";
    QTest::newRow("binary-value") << QByteArray("a=\x01\xff\x80+/=; Secure; HttpOnly") << "4294967295"
                                  << "Af+AKy89";
}

void TestCookies::roundTrip()
{
    QFETCH(QByteArray, setCookie);
    QFETCH(QString, expiration);
    QFETCH(QString, value64);
    const QList<QNetworkCookie> parsed = QNetworkCookie::parseCookies(setCookie);
    QCOMPARE(parsed.size(), 1);
    const QVariantMap record = XCookieRecord::toRecord(parsed.first());
    QCOMPARE(record.keys(),
             QStringList({"domain", "expiration", "http_only", "name", "path", "secure", "session", "value64"}));
    QCOMPARE(record.value("expiration").toString(), expiration);
    QCOMPARE(record.value("value64").toString(), value64);
    QCOMPARE(record.value("session").toString(), QString(parsed.first().isSessionCookie() ? "1" : "0"));

    // A restored session cookie expires at the largest 32-bit second; everything else survives.
    const QNetworkCookie restored = XCookieRecord::fromRecord(record);
    QCOMPARE(restored.value(), parsed.first().value());
    QCOMPARE(restored.isSecure(), parsed.first().isSecure());
    QCOMPARE(restored.isHttpOnly(), parsed.first().isHttpOnly());
    QCOMPARE(restored.expirationDate().toSecsSinceEpoch(), expiration.toLongLong());
    QVariantMap expected = record;
    expected.insert(QStringLiteral("session"), QStringLiteral("0"));
    QCOMPARE(XCookieRecord::toRecord(restored), expected);
}

void TestCookies::fromRecord_data()
{
    QTest::addColumn<QVariantMap>("record");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<bool>("secure");

    QTest::newRow("value-as-latin1") << QVariantMap {{"name", "n\u00e9"}, {"value", "v\u00e9"}} << QByteArray("n\xe9")
                                     << QByteArray("v\xe9") << false;
    QTest::newRow("value64-wins") << QVariantMap {{"value", "plain"}, {"value64", "AAE="}} << QByteArray()
                                  << QByteArray("\x00\x01", 2) << false;
    QTest::newRow("secure-only-exact-1") << QVariantMap {{"secure", "true"}} << QByteArray() << QByteArray() << false;
    QTest::newRow("secure-1") << QVariantMap {{"secure", "1"}} << QByteArray() << QByteArray() << true;
    QTest::newRow("secure-number-1") << QVariantMap {{"secure", 1}} << QByteArray() << QByteArray() << true;
}

void TestCookies::fromRecord()
{
    QFETCH(QVariantMap, record);
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, value);
    QFETCH(bool, secure);
    const QNetworkCookie cookie = XCookieRecord::fromRecord(record);
    QCOMPARE(cookie.name(), name);
    QCOMPARE(cookie.value(), value);
    QCOMPARE(cookie.isSecure(), secure);
}

void TestCookies::fromRecords_data()
{
    QTest::addColumn<QVariant>("records");
    QTest::addColumn<int>("count");
    QTest::newRow("empty-list") << QVariant(QVariantList()) << 0;
    QTest::newRow("not-a-list") << QVariant(QStringLiteral("cookies")) << 0;
    QTest::newRow("a-map") << QVariant(QVariantMap {{"name", "a"}}) << 0;
    QTest::newRow("non-map-element-is-empty-cookie") << QVariant(QVariantList {1, QVariantMap {{"name", "a"}}}) << 2;
}

void TestCookies::fromRecords()
{
    QFETCH(QVariant, records);
    QFETCH(int, count);
    QCOMPARE(XCookieRecord::fromRecords(records).size(), count);
}

void TestCookies::throughPages()
{
    VeskHarness harness;
    harness.writePage(QStringLiteral("init.html"), "<html><body></body></html>");
    std::unique_ptr<XWebWindow> one(harness.openWindow(QStringLiteral("/init.html")));
    std::unique_ptr<XWebWindow> two(harness.openWindow(QStringLiteral("/init.html")));
    QWebFrame *frame = one->mainFrame();
    frame->evaluateJavaScript(
        "app.setAllCookies([{name: 'sid', value64: 'AP8=', domain: 'example.org', path: '/', secure: '1'},"
        " {name: 'plain', value: 'x', expiration: 2000000000}]);");
    QCOMPARE(one->view()->cookieJar()->allCookies().size(), 2);
    QCOMPARE(one->view()->cookieJar()->allCookies().first().value(), QByteArray("\x00\xff", 2));
    QVERIFY(two->view()->cookieJar()->allCookies().isEmpty());
    QCOMPARE(frame
                 ->evaluateJavaScript("var c = app.getAllCookies(); c.length + ':' + c[1].expiration + ':' + "
                                      "c[0].value64 + ':' + c[0].secure")
                 .toString(),
             QStringLiteral("2:2000000000:AP8=:1"));
    // Saved and restored unchanged; something that is not a list empties the store.
    frame->evaluateJavaScript("app.setAllCookies(app.getAllCookies());");
    QCOMPARE(frame
                 ->evaluateJavaScript("var d = app.getAllCookies(); [c[0].session, d[0].session, d[0].expiration,"
                                      " d[0].value64, JSON.stringify(d[1]) === JSON.stringify(c[1])].join()")
                 .toString(),
             QStringLiteral("1,0,4294967295,AP8=,true"));
    frame->evaluateJavaScript("app.setAllCookies('nothing');");
    QVERIFY(one->view()->cookieJar()->allCookies().isEmpty());
}

QTEST_MAIN(TestCookies)
#include "tst_cookies.moc"
