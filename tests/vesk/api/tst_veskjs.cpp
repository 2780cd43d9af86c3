#include "pyftpserver.h"
#include "veskharness.h"
#include "window/xwebwindow.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QTcpServer>
#include <QWebFrame>
#include <QtTest>

#include <memory>

// vesk.js in real pages: promises settle as the callbacks say, and every
// callback name it made is gone once its operation is over.
class TestVeskJs : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void promises_data();
    void promises();
    void ftpConnection();

private:
    QVariant eval(const QString &script) { return VeskHarness::eval(m_window->mainFrame(), script); }
    // Runs a script giving a promise; the outcome as "ok JSON" or "err JSON".
    QString settle(const QString &promise);

    std::unique_ptr<VeskHarness> m_harness;
    std::unique_ptr<XWebWindow> m_window;
};

void TestVeskJs::init()
{
    m_harness = std::make_unique<VeskHarness>();
    // The page's own close question comes first; vesk.js must keep it.
    m_harness->writePage(QStringLiteral("init.html"), R"(<html><head>
<script>var vesk = { _exit: function () { return false; } };</script>
<script src="qrc:/vesk.js"></script>
<script>
// Stands in for the uploader plug-in: calls back by name as the plug-in does.
var lkorvalen = {
  _login: (id, key, password, ok, error) => setTimeout(() => password === 'right' ? window[ok]() : window[error](), 0),
  _uploadFile: (file, meta, ok, error, progress) => setTimeout(() => {
    if (progress) window[progress](50, 100);
    file ? window[ok]({ id: meta.n })
         : window[error]({ error_type: 'xmlrpc', error_code: '-32300', error_text: 'no network' });
  }, 0)
};
var outcome = null;
function settle(p) {
  outcome = null;
  p.then(function (v) { outcome = 'ok ' + JSON.stringify(v); },
         function (e) { outcome = 'err ' + JSON.stringify(e); });
}
</script></head><body>vesk.js</body></html>)");
    QDir().mkpath(QStringLiteral("libs"));
    QFile::copy(QStringLiteral(EXAMPLE_PLUGIN), QStringLiteral("libs/VeskExample.so"));
    QFile::copy(QStringLiteral(KOUPDATER_PLUGIN), QStringLiteral("libs/KOUpdater.so"));
    QImage photo(200, 100, QImage::Format_RGB32);
    photo.fill(Qt::blue);
    QVERIFY(photo.save(QStringLiteral("photo.jpg")));
    QFile text(QStringLiteral("text.jpg"));
    QVERIFY(text.open(QIODevice::WriteOnly) && text.write("not a photo") == 11);
    text.close();
    m_window.reset(m_harness->openWindow(QStringLiteral("/init.html")));
    QCOMPARE(eval(QStringLiteral("typeof vesk.exec")).toString(), QStringLiteral("function"));
}

void TestVeskJs::cleanup()
{
    m_window.reset();
    m_harness.reset();
}

QString TestVeskJs::settle(const QString &promise)
{
    eval(QStringLiteral("settle(%1)").arg(promise));
    if (!QTest::qWaitFor([this] { return !eval(QStringLiteral("outcome")).isNull(); }, 15000))
        return QStringLiteral("(never settled)");
    return eval(QStringLiteral("outcome")).toString();
}

void TestVeskJs::promises_data()
{
    QTest::addColumn<QString>("promise");
    QTest::addColumn<QString>("outcome"); // a regular expression for the whole outcome

    QTest::newRow("exec-output") << R"(vesk.exec('echo "it\'s  \\ <b>"').then(r => r.output))"
                                 << R"(ok "it's  \\\\ <b>\\n")";
    QTest::newRow("exec-streams-in-pieces") << R"((() => { var parts = [];
                return vesk.exec('sh -c "echo one; sleep 0.3; echo two"', {onOutput: t => parts.push(t)})
                  .then(r => [parts.length > 1, parts.join(''), r.output, typeof r.id]); })())"
                                            << R"(ok \[true,"one\\ntwo\\n","one\\ntwo\\n","number"\])";
    QTest::newRow("exec-exit-status")
        << "Promise.all([vesk.exec('sh -c \"echo x; exit 3\"'), vesk.exec('false'), vesk.exec('true')])"
           ".then(a => a.map(r => [r.output, r.code, r.crashed, r.dropped].join('|')))"
        << R"(ok \["x\\n\|3\|false\|0","\|1\|false\|0","\|0\|false\|0"\])";
    QTest::newRow("exec-crash-status")
        << R"(vesk.exec('sh -c "kill -SEGV $$"').catch(e => [e.code, e.crashed, e.error_text.length > 0]))"
        << R"(ok \[11,true,true\])";
    QTest::newRow("exec-cannot-start")
        << "vesk.exec('/nonexistent/program')"
        << R"(err \{"id":\d+,"output":"","error_text":"The program could not start, crashed or was killed"\})";
    QTest::newRow("exec-killed") << "(() => { var p = vesk.exec('sleep 20'); setTimeout(p.kill, 200); return p; })()"
                                 << R"(err \{"id":\d+,"output":"","error_text":"The program could not start[^"]*","code":9,"crashed":true,"dropped":0\})";
    QTest::newRow("many-at-once")
        << "Promise.all(Array.from({length: 30}, (_, i) => i % 2 ? vesk.exec('echo ' + i).then(r => r.output.trim())"
           "  : vesk.download(location.href, 'copy' + i + '.html').then(() => app.filesize('copy' + i + '.html') > 0)))"
           ".then(a => a.join(','))"
        << "ok \""
            + QStringLiteral("true,1,true,3,true,5,true,7,true,9,true,11,true,13,true,15,true,17,true,19,true,21,"
                             "true,23,true,25,true,27,true,29")
            + "\"";
    QTest::newRow("download-with-progress")
        << "(() => { var steps = []; return vesk.download(location.href, 'copy.html', {onProgress: (a, b) => "
           "steps.push(a)}).then(() => [steps.length > 0, app.fileread('copy.html').indexOf('vesk.js') > 0]); })()"
        << R"(ok \[true,true\])";
    QTest::newRow("download-rejects-with-error-object") << "vesk.download(location.href + '.missing', 'missing.bin')"
                                                        << R"(err \{"error_text":".+","http_status":0\})";
    QTest::newRow("download-into-missing-folder") << "vesk.download(location.href, 'no/such/folder/x.bin')"
                                                  << R"(err \{"error_text":".+","http_status":0\})";
    QTest::newRow("call-converts-dates-and-typed-arrays")
        << "Promise.resolve(vesk.call('JSON.stringify', {d: new Date(0), b: new Uint8Array([1, 2]),"
           " n: [{t: new Date(1000)}], f: new Float32Array([0.5]).buffer.byteLength}))"
        << R"(ok "\{\\"b\\":\[1,2\],\\"d\\":\\"1970-01-01T00:00:00.000Z\\",\\"f\\":4,)"
           R"(\\"n\\":\[\{\\"t\\":\\"1970-01-01T00:00:01.000Z\\"\}\]\}")";
    QTest::newRow("plugin-loads")
        << "vesk.plugins.load('libs/VeskExample.dll').then(p => [typeof p.greet, p === lexample])"
        << R"(ok \["function",true\])";
    QTest::newRow("plugin-missing") << "vesk.plugins.load('libs/Nothing')"
                                    << R"(err \{"error_text":"No plug-in loaded from libs/Nothing"\})";
    QTest::newRow("updater-rejects-with-result") << "vesk.updater.importDictionary('no/such.db', 'no/such.txt')"
                                                 << R"x(err \{.*"status":"un(available|readable)".*\})x";
    QTest::newRow("uploader-login") << "vesk.uploader.login('id', 'key', 'right')"
                                    << "ok undefined";
    QTest::newRow("uploader-login-refused")
        << "vesk.uploader.login('id', 'key', 'wrong')"
        << R"(err \{"error_type":"login","error_code":"","error_text":"The service refused the login"\})";
    QTest::newRow("uploader-progress-and-result")
        << "(() => { var seen = []; return vesk.uploader.uploadFile('a.jpg', {n: 7}, {onProgress: (a, b) => "
           "seen.push(a + '/' + b)}).then(r => [r.id, seen]); })()"
        << R"(ok \[7,\["50/100"\]\])";
    QTest::newRow("uploader-rejects-with-error-object")
        << "vesk.uploader.uploadFile('', {n: 1})"
        << R"(err \{"error_type":"xmlrpc","error_code":"-32300","error_text":"no network"\})";
    // The page can show what it is given.
    QTest::newRow("thumbnail-shown") << R"(vesk.thumbnail('photo.jpg', 64).then(u => new Promise(r => {
        var i = new Image(); i.onload = () => r(u.slice(0, 8) + ' ' + i.naturalWidth + 'x' + i.naturalHeight);
        i.onerror = () => r('not shown'); i.src = u; })))"
                                     << R"(ok "file:///? 64x32")";
    QTest::newRow("thumbnail-not-an-image") << "vesk.thumbnail('text.jpg', 64)"
                                            << R"(err \{"error_code":3,"error_text":"not an image.*"\})";
    QTest::newRow("thumbnail-bad-size") << "vesk.thumbnail('photo.jpg', -5)"
                                        << R"(err \{"error_code":1,"error_text":"maxSide must be.*"\})";
    QTest::newRow("page-exit-kept") << "Promise.resolve(vesk._exit())"
                                    << "ok false";
    QTest::newRow("exec-array-no-splitting")
        << R"(vesk.exec(['printf', '%s|', 'a "b"  c', "it's", '']).then(r => r.output))"
        << R"(ok "a \\"b\\"  c\|it's\|\|")";
    QTest::newRow("exec-bad-arrays-reject-at-once")
        << R"(Promise.all([[], [1], ['printf', 'a\u0000b'], [''], ['printf', null]].map(c => vesk.exec(c)
             .then(() => 'ran', e => e.id + ' ' + e.error_text.split(':')[0]))))"
        << R"(ok \["0 Not a command","0 Not a command","0 Not a command","0 Not a command","0 Not a command"\])";
    QTest::newRow("db-rejects-with-driver-text")
        << "vesk.db.open('t.db').then(db => db.query('SELEC 1'))"
        << R"(err \{"error_text":"near \\"SELEC\\": syntax error.*"\})";
    QTest::newRow("db-open-fails-with-driver-text")
        << "vesk.db.open('no/such/folder/t.db', 'x')"
        << R"(err \{"error_text":".*unable to open.*"\})";
    QTest::newRow("db-transaction-rolls-back")
        << "vesk.db.open('t.db', 't').then(db => db.query('CREATE TABLE IF NOT EXISTS k (v)')"
           ".then(() => db.transaction(d => d.insert('INSERT INTO k VALUES (?)', [1]).then(() => d.query('bad'))))"
           ".catch(e => db.query('SELECT count(*) AS n FROM k').then(r => [r, e.error_text.length > 0])))"
        << R"(ok \[\[\{"n":0\}\],true\])";
    QTest::newRow("db-transaction-commits")
        << "vesk.db.open('t.db', 'c').then(db => db.query('CREATE TABLE IF NOT EXISTS c (v)')"
           ".then(() => db.transaction(d => d.insert('INSERT INTO c VALUES (:v)', {v: 'x'})))"
           ".then(id => [id, db.query('SELECT v FROM c')]).then(a => Promise.all(a)))"
        << R"(ok \[1,\[\{"v":"x"\}\]\])";
    // Without a settings file a page reads its defaults; the text form is checked across a restart in tst_vesk.
    QTest::newRow("settings-default") << "Promise.resolve(vesk.settings.get('missing', {d: 1}))"
                                      << R"(ok \{"d":1\})";
    QTest::newRow("polyfill-object-entries-values")
        << "Promise.resolve([Object.entries({a: 1, b: 'x'}), Object.values({a: [2]})])"
        << R"(ok \[\[\["a",1\],\["b","x"\]\],\[\[2\]\]\])";
    QTest::newRow("polyfill-pad")
        << "Promise.resolve(['5'.padStart(3, '0'), 'ab'.padEnd(7, 'xyz'), 'abc'.padStart(2), 'a'.padStart(3), "
           "'a'.padEnd(3, '')])"
        << R"(ok \["005","abxyzxy","abc","  a","a"\])";
    QTest::newRow("polyfill-includes") << "Promise.resolve([[1, NaN].includes(NaN), [1, 2].includes(1, 1), "
                                          "[1, 2].includes(2, -1), Object.keys([]).length, 'includes' in []])"
                                       << R"(ok \[true,false,true,0,true\])";
    QTest::newRow("polyfill-finally")
        << "(() => { var seen = []; return Promise.all([Promise.resolve(1).finally(() => seen.push('a')),"
           " Promise.reject(2).finally(() => seen.push('b')).catch(e => 'caught ' + e)]).then(r => [r, seen]); })()"
        << R"(ok \[\[1,"caught 2"\],\["a","b"\]\])";
    QTest::newRow("polyfill-intersection-observer")
        << "new Promise(done => { var seen = {}; var make = top => { var d = document.createElement('div');"
           " d.style.cssText = 'position:absolute;left:0;width:10px;height:10px;top:' + top + 'px';"
           " document.body.appendChild(d); return d; };"
           " var near = make(0), far = make(100000);"
           " var io = new IntersectionObserver(es => { es.forEach(e => seen[e.target === near ? 'near' : 'far'] ="
           " e.isIntersecting); if ('near' in seen && 'far' in seen) { io.disconnect(); done(seen); } });"
           " io.observe(near); io.observe(far); })"
        << R"(ok \{"near":true,"far":false\})";
}

void TestVeskJs::promises()
{
    QFETCH(QString, promise);
    QFETCH(QString, outcome);
    const QString got = settle(promise);
    QVERIFY2(QRegularExpression(QRegularExpression::anchoredPattern(outcome)).match(got).hasMatch(), qPrintable(got));
    // The rejection of a crashed program waits one turn for the program's last report.
    QTRY_COMPARE(eval(QStringLiteral("vesk.liveCallbacks().join()")).toString(), QString());
}

void TestVeskJs::ftpConnection()
{
    QTemporaryDir home;
    QDir(home.path()).mkpath(QStringLiteral("photos"));
    QFile sample(home.path() + QStringLiteral("/photos/it's.txt"));
    QVERIFY(sample.open(QIODevice::WriteOnly) && sample.write("sample") == 6);
    sample.close();
    PyFtpServer server;
    QVERIFY2(server.start(home.path()), qPrintable(server.error()));
    const QByteArray port = QByteArray::number(server.port());

    eval(QStringLiteral("var states = []; var c = vesk.ftp('127.0.0.1', %1, {onState: n => states.push(n)});")
             .arg(QString::fromLatin1(port)));
    QCOMPARE(settle(QStringLiteral("c.login('user', 'pass').then(() => c.list()).then(l => l.map(e => e.name + "
                                   "(e.info.is_dir ? '/' : '')).join())")),
             QStringLiteral("ok \"photos/\""));
    QCOMPARE(eval(QStringLiteral("states.join()")).toString(), QStringLiteral("1,2,3,4"));
    // A failed command drops what was queued behind it: those promises reject too.
    QCOMPARE(settle(QStringLiteral("Promise.all([c.cd('nowhere').catch(e => e.error_code), "
                                   "c.list().catch(e => e.error_text.split('\\n')[0])])")),
             QStringLiteral("ok [1,\"Not run: an earlier command failed:\"]"));
    QCOMPARE(settle(QStringLiteral("(() => { var got = 0; return c.cd('photos').then(() => c.get(\"it's.txt\", "
                                   "'got.txt', {onProgress: d => got = d})).then(() => [got, app.fileread('got.txt')]);"
                                   " })()")),
             QStringLiteral("ok [6,\"sample\"]"));
    // A local file that cannot be read fails alone; the queue goes on.
    QCOMPARE(settle(QStringLiteral("Promise.all([c.put('missing.txt', 'x').catch(e => 'put failed'), c.list()"
                                   ".then(l => l.length)])")),
             QStringLiteral("ok [\"put failed\",1]"));
    QCOMPARE(settle(QStringLiteral("c.close()")), QStringLiteral("ok undefined"));
    QTRY_COMPARE(eval(QStringLiteral("c.state()")).toInt(), 0);
    eval(QStringLiteral("c.dispose()"));
    QCOMPARE(eval(QStringLiteral("vesk.liveCallbacks().join()")).toString(), QString());

    // A connection that cannot be made rejects the commands queued on it.
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const quint16 closedPort = closed.serverPort();
    closed.close();
    eval(QStringLiteral("var d = vesk.ftp('127.0.0.1', %1);").arg(closedPort));
    QCOMPARE(settle(QStringLiteral("Promise.all([d.login('user', 'pass'), d.list()]).catch(e => e)")),
             QStringLiteral("ok {\"error_code\":4,\"error_text\":\"Not connected\"}"));
    QCOMPARE(settle(QStringLiteral("d.list().catch(e => e.error_code)")), QStringLiteral("ok 4"));
    QCOMPARE(settle(QStringLiteral("vesk.ftp('', 21).list().catch(e => e.error_code)")), QStringLiteral("ok 4"));
    eval(QStringLiteral("d.dispose()"));
    QTRY_COMPARE(eval(QStringLiteral("vesk.liveCallbacks().join()")).toString(), QString());
}

QTEST_MAIN(TestVeskJs)
#include "tst_veskjs.moc"
