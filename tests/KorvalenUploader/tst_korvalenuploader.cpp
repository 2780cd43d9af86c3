#include "standin.h"
#include "veskharness.h"
#include "window/xwebwindow.h"
#include "xearningscatalog.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QJsonDocument>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QWebFrame>
#include <QtTest>

#include <memory>

// The uploader plug-in in real pages, against the Python stand-in service.
class TestKorvalenUploader : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void helloAbortClose();
    void noEndpoint();
    void signIn_data();
    void signIn();
    void twoSignIns();
    void refusedBeforeAnyCall_data();
    void refusedBeforeAnyCall();
    void scaledUpload();
    void uploadFailures_data();
    void uploadFailures();
    void queuedUploads();
    void releases();
    void earnings_data();
    void earnings();
    void promisesOverThePlugin();

private:
    struct Page {
        VeskHarness harness;
        std::unique_ptr<StandIn> service;
        std::unique_ptr<XWebWindow> window;
        QWebFrame *frame() const;
        QVariant eval(const QString &script) const { return VeskHarness::eval(frame(), script); }
        QString events() const { return eval(QStringLiteral("JSON.stringify(events)")).toString(); }
        int count() const { return eval(QStringLiteral("events.length")).toInt(); }
        bool signIn(const QString &client = QStringLiteral("demo"), const QString &password = QStringLiteral("secret"));
    };
    static std::unique_ptr<Page> open(const QJsonObject &config, bool withEndpoint = true);
    static QString jpeg(const QString &name, int w, int h);
};

static const QJsonObject Accounts {
    {QStringLiteral("demo"), QJsonArray {QStringLiteral("demo-key"), QStringLiteral("secret")}},
    {QStringLiteral("other"), QJsonArray {QStringLiteral("other-key"), QStringLiteral("pw2")}}};

QWebFrame *TestKorvalenUploader::Page::frame() const
{
    return window->mainFrame();
}

bool TestKorvalenUploader::Page::signIn(const QString &client, const QString &password)
{
    const int before = count();
    eval(QStringLiteral("lkorvalen._login('%1', '%1-key', '%2', 'ok', 'err')").arg(client, password));
    if (!QTest::qWaitFor([&] { return count() > before; }, 10000))
        return false;
    return count() > before && eval(QStringLiteral("events[events.length-1][0]")).toString() == QLatin1String("ok");
}

std::unique_ptr<TestKorvalenUploader::Page> TestKorvalenUploader::open(const QJsonObject &config, bool withEndpoint)
{
    auto page = std::make_unique<Page>();
    QJsonObject c = config;
    c.insert(QStringLiteral("out"), page->harness.path());
    if (!c.contains(QStringLiteral("accounts")))
        c.insert(QStringLiteral("accounts"), Accounts);
    page->service = std::make_unique<StandIn>(c, page->harness.path());
    qputenv("VESK_UPLOADER_ENDPOINT", withEndpoint ? page->service->endpoint().toUtf8() : QByteArray());
    qputenv("XDG_DATA_HOME", page->harness.path().toUtf8());
    QDir().mkpath(QStringLiteral("libs"));
    QFile::copy(QStringLiteral(UPLOADER_PLUGIN), QStringLiteral("libs/KorvalenUploader.so"));
    page->harness.writePage(
        QStringLiteral("init.html"),
        "<html><body><script>app.loadPlugin('libs/KorvalenUploader.dll'); window.events = [];"
        "function rec(tag){ return function(){ events.push([tag].concat([].slice.call(arguments))); }; }"
        "var ok = rec('ok'), err = rec('err'), prog = rec('prog');"
        "var okB = rec('okB'), errB = rec('errB'), progB = rec('progB');</script></body></html>");
    page->window.reset(page->harness.openWindow(QStringLiteral("/init.html")));
    return page;
}

QString TestKorvalenUploader::jpeg(const QString &name, int w, int h)
{
    QImage image(w, h, QImage::Format_Grayscale8);
    image.fill(90);
    for (int y = 0; y < h; y += 7)
        image.setPixel(y % w, y, 255);
    const QString path = QDir::current().absoluteFilePath(name);
    image.save(path, "jpeg", 50);
    return path;
}

void TestKorvalenUploader::helloAbortClose()
{
    auto p = open({{QStringLiteral("stall"),
                    QJsonObject {{QStringLiteral("method"), QStringLiteral("addPhoto")},
                                 {QStringLiteral("part"), 0},
                                 {QStringLiteral("seconds"), 1}}}});
    p->harness.answerDialogs();
    p->eval(QStringLiteral("lkorvalen.hello()"));
    QTRY_VERIFY(p->harness.dialogTexts().join(QLatin1Char('\n')).contains(QStringLiteral("Korvalen uploader works")));
    QVERIFY(p->signIn());
    QFile f(QStringLiteral("a.txt"));
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write("plain text"));
    f.close();
    p->eval(QStringLiteral("lkorvalen._uploadFile('a.txt', {}, 'okB', 'errB', 'progB'); lkorvalen.abort(); "
                           "lkorvalen.close();"));
    QTRY_COMPARE_WITH_TIMEOUT(p->eval(QStringLiteral("events[events.length-1][0]")).toString(), QStringLiteral("okB"),
                              10000);
    QCOMPARE(p->service->entries(QStringLiteral("addPhoto"), QStringLiteral("assembled")).size(), 1);
}

void TestKorvalenUploader::noEndpoint()
{
    auto p = open({}, false);
    p->eval(QStringLiteral("lkorvalen._login('demo', 'demo-key', 'secret', 'ok', 'err');"
                           "lkorvalen._uploadFile('x.jpg', {}, 'ok', 'err', 'prog');"
                           "lkorvalen._getEarnings('a', 'b', 'ok', 'err');"));
    QTRY_COMPARE(p->count(), 3);
    const QString one = QStringLiteral("[\"err\",{\"error_code\":\"-32300\",\"error_text\":\"no service endpoint "
                                       "configured\",\"error_type\":\"xmlrpc\"}]");
    QCOMPARE(p->events(), QStringLiteral("[%1,%1,%1]").arg(one));
    QCOMPARE(p->service->log().size(), 0);
}

void TestKorvalenUploader::signIn_data()
{
    QTest::addColumn<QJsonObject>("config");
    QTest::addColumn<QString>("client");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("result");
    QTest::newRow("renewal-chain")
        << QJsonObject {} << "demo"
        << "secret"
        << "[\"ok\",{\"photo\":{\"exts\":[\"jpg\"],\"max_mpx\":24,\"max_r\":4,\"max_size\":16777216,\"min_h\":1024,"
           "\"min_mpx\":4,\"min_w\":1024,\"q\":90},\"release\":{\"exts\":[\"pdf\",\"jpg\",\"png\"],\"max_mpx\":24,"
           "\"max_r\":4,\"max_size\":8388608,\"min_h\":1024,\"min_mpx\":4,\"min_w\":1024,\"q\":90}}]";
    QTest::newRow("wrong-password") << QJsonObject {} << "demo"
                                    << "wrong"
                                    << "[\"err\",{\"error_code\":\"401\",\"error_text\":\"Wrong client id, key or "
                                       "password\",\"error_type\":\"app\"}]";
    QTest::newRow("one-set-defaults-for-release")
        << QJsonObject {{QStringLiteral("restrictions"), QJsonArray {QJsonObject {{QStringLiteral("q"), 70}}}}}
        << "demo"
        << "secret"
        << "[\"ok\",{\"photo\":{\"exts\":[],\"max_mpx\":24,\"max_r\":4,\"max_size\":16777216,\"min_h\":1024,"
           "\"min_mpx\":4,\"min_w\":1024,\"q\":70},\"release\":{\"exts\":[],\"max_mpx\":24,\"max_r\":4,\"max_size\":"
           "16777216,\"min_h\":1024,\"min_mpx\":4,\"min_w\":1024,\"q\":90}}]";
    QTest::newRow("malformed-restrictions")
        << QJsonObject {{QStringLiteral("malformed"),
                         QJsonObject {{QStringLiteral("getRestrictions"), QJsonArray {1}}}}}
        << "demo"
        << "secret"
        << "[\"err\",{\"error_code\":\"-32600\",\"error_text\":\"malformed answer: not a struct\",\"error_type\":"
           "\"xmlrpc\"}]";
    QTest::newRow("html-answer") << QJsonObject {{QStringLiteral("html"), QStringLiteral("getHash")}} << "demo"
                                 << "secret"
                                 << "-32600";
}

void TestKorvalenUploader::signIn()
{
    QFETCH(QJsonObject, config);
    QFETCH(QString, client);
    QFETCH(QString, password);
    QFETCH(QString, result);
    auto p = open(config);
    p->signIn(client, password);
    QCOMPARE(p->count(), 1);
    if (result.startsWith(QLatin1Char('[')))
        QCOMPARE(p->eval(QStringLiteral("JSON.stringify(events[0])")).toString(), result);
    else
        QCOMPARE(p->eval(QStringLiteral("events[0][1].error_code")).toString(), result);
    for (const QJsonValue &entry : p->service->log())
        QVERIFY2(entry[QStringLiteral("chain")].toString() != QLatin1String("broken"),
                 QJsonDocument(entry.toObject()).toJson().constData());
}

void TestKorvalenUploader::twoSignIns()
{
    auto p = open({});
    // The second replaces the credentials before the first's getHash is answered.
    p->eval(QStringLiteral("lkorvalen._login('demo', 'demo-key', 'secret', 'ok', 'err');"
                           "lkorvalen._login('other', 'other-key', 'pw2', 'okB', 'errB');"));
    QTRY_COMPARE(p->count(), 2);
    QCOMPARE(p->eval(QStringLiteral("events.map(function(e){return e[0];}).sort().join()")).toString(),
             QStringLiteral("ok,okB"));
    QFile f(QStringLiteral("a.txt"));
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write("x"));
    f.close();
    p->eval(QStringLiteral("lkorvalen._uploadFile('a.txt', {}, 'ok', 'err', 'prog')"));
    QTRY_COMPARE(p->count(), 7);
    const QJsonArray parts = p->service->entries(QStringLiteral("addPhoto"));
    QCOMPARE(parts.size(), 4);
    QCOMPARE(parts.first()[QStringLiteral("client")].toString(), QStringLiteral("other"));
}

void TestKorvalenUploader::refusedBeforeAnyCall_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("signIn");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("text");
    QTest::newRow("too-small-1000") << "small.jpg" << true << "122"
                                    << "Too small dimensions";
    QTest::newRow("ratio-6000x1100") << "wide.jpg" << true << "123"
                                     << "Wrong aspect ratio";
    QTest::newRow("unreadable") << "missing.jpg" << true << "124"
                                << "Cannot read the file";
    QTest::newRow("undecodable-jpeg") << "broken.jpg" << true << "125"
                                      << "Cannot decode the image";
    QTest::newRow("not-signed-in") << "a.txt" << false << "128"
                                   << "Not signed in";
}

void TestKorvalenUploader::refusedBeforeAnyCall()
{
    QFETCH(QString, file);
    QFETCH(bool, signIn);
    QFETCH(QString, code);
    QFETCH(QString, text);
    auto p = open({});
    jpeg(QStringLiteral("small.jpg"), 1000, 1000);
    jpeg(QStringLiteral("wide.jpg"), 6000, 1100);
    QFile broken(QStringLiteral("broken.jpg"));
    QVERIFY(broken.open(QIODevice::WriteOnly) && broken.write("not a jpeg at all"));
    broken.close();
    if (signIn)
        QVERIFY(p->signIn());
    const int before = p->count();
    p->eval(QStringLiteral("lkorvalen._uploadFile('%1', {}, 'okB', 'errB', 'progB')").arg(file));
    QTRY_COMPARE(p->count(), before + 1);
    QCOMPARE(p->eval(QStringLiteral("events[%1][0] + events[%1][1].error_type + events[%1][1].error_code").arg(before))
                 .toString(),
             QStringLiteral("errBapp") + code);
    QVERIFY(p->eval(QStringLiteral("events[%1][1].error_text").arg(before)).toString().startsWith(text));
    QCOMPARE(p->service->entries(QStringLiteral("addPhoto")).size(), 0);
}

void TestKorvalenUploader::scaledUpload()
{
    auto p = open({});
    QVERIFY(p->signIn());
    const QString path = jpeg(QStringLiteral("big.jpg"), 8000, 6000);
    p->eval(QStringLiteral("lkorvalen._uploadFile('big.jpg', {title: \"it's\", desc: 'd', keywords: ['a', 'b']}, "
                           "'okB', 'errB', 'progB')"));
    QTRY_COMPARE_WITH_TIMEOUT(p->count(), 6, 30000);
    QCOMPARE(p->eval(QStringLiteral("JSON.stringify(events.slice(1, 5))")).toString(),
             QStringLiteral("[[\"progB\",1,4],[\"progB\",2,4],[\"progB\",3,4],[\"progB\",4,4]]"));
    QCOMPARE(p->eval(QStringLiteral("events[5][0]")).toString(), QStringLiteral("okB"));
    // The response carries quotes: it arrives as text, not as script.
    QVERIFY(p->eval(QStringLiteral("events[5][1]")).toString().startsWith(QStringLiteral("accepted '")));
    const QJsonArray done = p->service->entries(QStringLiteral("addPhoto"), QStringLiteral("assembled"));
    QCOMPARE(done.size(), 1);
    const QJsonObject meta = done.first()[QStringLiteral("meta")].toObject();
    QCOMPARE(meta[QStringLiteral("title")].toString(), QStringLiteral("it's"));
    QCOMPARE(meta[QStringLiteral("keywords")].toArray().size(), 2);
    QCOMPARE(meta[QStringLiteral("ext")].toString(), QStringLiteral(".jpg"));
    QCOMPARE(QImageReader(done.first()[QStringLiteral("file")].toString()).size(), QSize(5537, 4153));
    Q_UNUSED(path)
}

void TestKorvalenUploader::uploadFailures_data()
{
    QTest::addColumn<QJsonObject>("config");
    QTest::addColumn<int>("progress");
    QTest::addColumn<QString>("error");
    const QString quoted = QStringLiteral("it's \"refused\" </script>\\");
    QTest::newRow("refused-part-quoted-message")
        << QJsonObject {{QStringLiteral("refuse"),
                         QJsonObject {{QStringLiteral("method"), QStringLiteral("addPhoto")},
                                      {QStringLiteral("part"), 2},
                                      {QStringLiteral("status"), QStringLiteral("409")},
                                      {QStringLiteral("message"), quoted}}}}
        << 2 << QStringLiteral("app 409 ") + quoted;
    QTest::newRow("fault-mid-upload") << QJsonObject {{QStringLiteral("fault"),
                                                       QJsonObject {
                                                           {QStringLiteral("method"), QStringLiteral("addPhoto")},
                                                           {QStringLiteral("part"), 1},
                                                           {QStringLiteral("code"), 42},
                                                           {QStringLiteral("text"), QStringLiteral("bad 'pipe'")}}}}
                                      << 1 << "xmlrpc 42 bad 'pipe'";
    QTest::newRow("malformed-part-answer")
        << QJsonObject {{QStringLiteral("malformed"), QJsonObject {{QStringLiteral("addPhoto"), QJsonArray {}}}}} << 0
        << "xmlrpc -32600 malformed answer: not a struct";
}

void TestKorvalenUploader::uploadFailures()
{
    QFETCH(QJsonObject, config);
    QFETCH(int, progress);
    QFETCH(QString, error);
    auto p = open(config);
    QVERIFY(p->signIn());
    QFile f(QStringLiteral("photo.png"));
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(QByteArray(1000, 'p')));
    f.close();
    p->eval(QStringLiteral("lkorvalen._uploadFile('photo.png', {}, 'okB', 'errB', 'progB')"));
    QTRY_COMPARE(p->count(), 2 + progress);
    QCOMPARE(p->eval(QStringLiteral("events.slice(1).map(function(e){ return e[0] == 'errB' ? [e[1].error_type, "
                                    "e[1].error_code, e[1].error_text].join(' ') : e.join(); }).join('|')"))
                 .toString(),
             (QStringList {QStringLiteral("progB,1,4"), QStringLiteral("progB,2,4")}.mid(0, progress) << error)
                 .join(QLatin1Char('|')));
    // The session is still good: the chain went on for answered calls and not for faults.
    const int before = p->count();
    p->eval(QStringLiteral("lkorvalen._checkReleases('r1', 'ok', 'err')"));
    QTRY_COMPARE(p->count(), before + 1);
    QCOMPARE(p->eval(QStringLiteral("events[%1][0]").arg(before)).toString(), QStringLiteral("ok"));
}

void TestKorvalenUploader::queuedUploads()
{
    auto p = open({{QStringLiteral("stall"),
                    QJsonObject {{QStringLiteral("method"), QStringLiteral("addPhoto")},
                                 {QStringLiteral("part"), 0},
                                 {QStringLiteral("seconds"), 0.3}}}});
    QVERIFY(p->signIn());
    QByteArray first(30000, 'a');
    QByteArray second(20000, 'b');
    for (const auto &file :
         {qMakePair(QStringLiteral("one.bin"), first), qMakePair(QStringLiteral("two.bin"), second)}) {
        QFile f(file.first);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(file.second));
    }
    p->eval(QStringLiteral("lkorvalen._uploadFile('one.bin', {}, 'ok', 'err', 'prog');"
                           "lkorvalen._uploadFile('two.bin', {}, 'okB', 'errB', 'progB');"));
    QTRY_COMPARE_WITH_TIMEOUT(p->count(), 11, 20000);
    QCOMPARE(p->eval(QStringLiteral("events.slice(1).map(function(e){ return e[0] + (e.length > 2 ? e[1] : ''); })"
                                    ".join()"))
                 .toString(),
             QStringLiteral("prog1,prog2,prog3,prog4,ok,progB1,progB2,progB3,progB4,okB"));
    const QJsonArray done = p->service->entries(QStringLiteral("addPhoto"), QStringLiteral("assembled"));
    QCOMPARE(done.size(), 2);
    QFile one(done.at(0)[QStringLiteral("file")].toString());
    QFile two(done.at(1)[QStringLiteral("file")].toString());
    QVERIFY(one.open(QIODevice::ReadOnly) && two.open(QIODevice::ReadOnly));
    QCOMPARE(one.readAll(), first);
    QCOMPARE(two.readAll(), second);
}

void TestKorvalenUploader::releases()
{
    auto p = open({{QStringLiteral("restrictions"),
                    QJsonArray {QJsonObject {},
                                QJsonObject {{QStringLiteral("exts"), QStringLiteral("pdf")},
                                             {QStringLiteral("max_size"), 5000}}}}});
    QVERIFY(p->signIn());
    for (const auto &file : {qMakePair(QStringLiteral("r.pdf"), 4000), qMakePair(QStringLiteral("big.pdf"), 6000),
                             qMakePair(QStringLiteral("r.exe"), 10)}) {
        QFile f(file.first);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(QByteArray(file.second, 'r')));
    }
    p->eval(QStringLiteral("lkorvalen._uploadRelease('r.pdf', 'model', \"Ann's\", 'desc', '2024-01-02', 'ok', 'err', "
                           "'prog');"
                           "lkorvalen._uploadRelease('big.pdf', 'model', 'n', 'd', '', 'ok', 'err', 'prog');"
                           "lkorvalen._uploadRelease('r.exe', 'model', 'n', 'd', '', 'ok', 'err', 'prog');"
                           "lkorvalen._checkReleases('r1,x2', 'okB', 'errB');"
                           "lkorvalen._attachReleases('p9', 'r1,r2', 'okB', 'errB');"));
    QTRY_COMPARE(p->count(), 1 + 5 + 4);
    QCOMPARE(p->eval(QStringLiteral("events.slice(1).map(function(e){ return e[0] + (e[0] == 'err' ? "
                                    "e[1].error_code : ''); }).join()"))
                 .toString(),
             QStringLiteral("prog,prog,prog,prog,ok,err127,err126,okB,okB"));
    QCOMPARE(
        p->eval(QStringLiteral("JSON.stringify(events.slice(8))")).toString(),
        QStringLiteral("[[\"okB\",[{\"id\":\"r1\",\"status\":\"approved\"},{\"id\":\"x2\",\"status\":\"unknown\"}]],"
                       "[\"okB\",{\"attached\":2,\"photo\":\"p9\"}]]"));
    const QJsonArray done = p->service->entries(QStringLiteral("addRelease"), QStringLiteral("assembled"));
    QCOMPARE(done.size(), 1);
    QCOMPARE(done.first()[QStringLiteral("meta")][QStringLiteral("name")].toString(), QStringLiteral("Ann's"));
    QCOMPARE(QFileInfo(done.first()[QStringLiteral("file")].toString()).size(), 4000);
}

void TestKorvalenUploader::earnings_data()
{
    QTest::addColumn<QString>("data");
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("withTable");
    QTest::addColumn<QString>("expected");
    QTest::newRow("one-day") << "2024-05-01:12.5:3" << 1234.5 << true
                             << "1234.5 EUR 0.5|1234.5/0/2/5/2024,12.5/1/01/05/2024,3/2/01/05/2024";
    QTest::newRow("exponent") << "" << 1200000.0 << true << "1.2e+06 EUR 0.5|1.2e+06/0/2/5/2024";
    QTest::newRow("sixteen-days") << "16" << 1.0 << true << "33";
    QTest::newRow("seventeen-days") << "17" << 1.0 << true << "35";
    QTest::newRow("missing-table-rolls-back") << "2024-05-01:1:1" << 5.0 << false << "db";
}

void TestKorvalenUploader::earnings()
{
    QFETCH(QString, data);
    QFETCH(double, value);
    QFETCH(bool, withTable);
    QFETCH(QString, expected);
    QString history = data;
    if (data == QLatin1String("16") || data == QLatin1String("17")) {
        QStringList days;
        for (int d = 1; d <= data.toInt(); ++d)
            days << QStringLiteral("2024-04-%1:%1.5:%1").arg(d);
        history = days.join(QLatin1Char('|'));
    }
    auto p = open({{QStringLiteral("earnings"),
                    QJsonObject {{QStringLiteral("today"), QStringLiteral("2024-5-2")},
                                 {QStringLiteral("currency"), QStringLiteral("EUR")},
                                 {QStringLiteral("value"), value},
                                 {QStringLiteral("rate"), 0.5},
                                 {QStringLiteral("data"), history}}}});
    const QString path = XEarningsCatalog::defaultPath();
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("page-catalog"));
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("CREATE TABLE stock (ID INTEGER PRIMARY KEY, Earnings, Currency, Rate)")));
        QVERIFY(q.exec(QStringLiteral("INSERT INTO stock VALUES (1, '7', 'USD', '1')")));
        if (withTable)
            QVERIFY(q.exec(QStringLiteral("CREATE TABLE stockstats (ID INTEGER PRIMARY KEY, Value, Type, Day, Month, "
                                          "Year, StockID)")));
    }
    QVERIFY(p->signIn());
    // Run twice: the second answer changes nothing in stockstats.
    p->eval(QStringLiteral("lkorvalen._getEarnings('2024-01-01', '2024-05-02', 'okB', 'errB');"
                           "lkorvalen._getEarnings('2024-01-01', '2024-05-02', 'okB', 'errB');"));
    QTRY_COMPARE(p->count(), 3);
    QSqlDatabase db = QSqlDatabase::database(QStringLiteral("page-catalog"));
    QSqlQuery q(db);
    QVERIFY(q.exec(QStringLiteral("SELECT Earnings || ' ' || Currency || ' ' || Rate FROM stock")) && q.next());
    const QString stock = q.value(0).toString();
    if (!withTable) {
        QCOMPARE(p->eval(QStringLiteral("events[1][0] + events[1][1].error_type + events[2][1].error_type")).toString(),
                 QStringLiteral("errBdbdb"));
        QCOMPARE(stock, QStringLiteral("7 USD 1"));
        return;
    }
    QCOMPARE(p->eval(QStringLiteral("events[1].concat(events[2]).join()")).toString(), QStringLiteral("okB,okB"));
    QStringList rows;
    QVERIFY(q.exec(QStringLiteral("SELECT Value, Type, Day, Month, Year, StockID FROM stockstats ORDER BY ID")));
    while (q.next())
        rows << QStringList {q.value(0).toString(), q.value(1).toString(), q.value(2).toString(), q.value(3).toString(),
                             q.value(4).toString()}
                    .join(QLatin1Char('/'));
    if (expected.contains(QLatin1Char('|')))
        QCOMPARE(stock + QLatin1Char('|') + rows.join(QLatin1Char(',')), expected);
    else
        QCOMPARE(rows.size(), expected.toInt());
}

void TestKorvalenUploader::promisesOverThePlugin()
{
    auto p = open({});
    QFile script(QStringLiteral(":/vesk.js"));
    QVERIFY(script.open(QIODevice::ReadOnly));
    p->eval(QString::fromUtf8(script.readAll()));
    jpeg(QStringLiteral("small.jpg"), 2400, 1800);
    p->eval(QStringLiteral(
        "window.out = null; var steps = [];"
        "vesk.uploader.login('demo', 'demo-key', 'secret')"
        ".then(sets => { steps.push(typeof sets.photo.q + ',' + typeof sets.release.max_size);"
        "  return vesk.uploader.uploadFile('small.jpg', {title: 't', desc: '', keywords: []},"
        "    {onProgress: (n, total) => steps.push(n + '/' + total)}); })"
        ".then(text => { steps.push(typeof text); return vesk.uploader.login('demo', 'demo-key', 'wrong'); })"
        ".catch(e => { steps.push(e.error_type + ' ' + e.error_code); out = steps.join(' '); });"));
    QTRY_VERIFY_WITH_TIMEOUT(!p->eval(QStringLiteral("out")).isNull(), 20000);
    QCOMPARE(p->eval(QStringLiteral("out")).toString(),
             QStringLiteral("number,number 1/4 2/4 3/4 4/4 string app 401"));
    // Every callback name the promises made is gone again.
    QCOMPARE(p->eval(QStringLiteral("vesk.liveCallbacks().length")).toInt(), 0);
}

QTEST_MAIN(TestKorvalenUploader)
#include "tst_korvalenuploader.moc"
