#include "callrecorder.h"
#include "maiafault.h"
#include "maiaobject.h"
#include "maiaxmlrpcclient.h"

#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// Checks against Python's xmlrpc.client and xmlrpc.server, an independent
// implementation from Debian's python3.

namespace {

const char Python[] = "/usr/bin/python3";

QString peerScript()
{
    return QDir(qEnvironmentVariable("VESK_SOURCE_DIR")).filePath("tests/KorvalenUploader/xmlrpc/xmlrpc_peer.py");
}

QDateTime dateTime(int y, int mo, int d, int h, int mi, int s)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s));
}

QByteArray allBytes()
{
    QByteArray bytes;
    for (int i = 0; i < 256; ++i)
        bytes.append(char(i));
    return bytes;
}

QVariant nestedLists(int depth)
{
    QVariant value = QString("core");
    for (int i = 0; i < depth; ++i)
        value = QVariantList {value, i};
    return value;
}

void compareVariants(const QVariant &actual, const QVariant &expected)
{
    QCOMPARE(actual.userType(), expected.userType());
    QCOMPARE(actual, expected);
    // QString finds null and "" equal, but a null string reads like nil.
    if (expected.userType() == QMetaType::QString)
        QCOMPARE(actual.toString().isNull(), expected.toString().isNull());
}

} // namespace

class TestMaiaInterop : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void echo_data();
    void echo();
    void fault_data();
    void fault();
    void nilFromServer();
    void documentsReadByPython_data();
    void documentsReadByPython();
    void commandLineTool_data();
    void commandLineTool();

private:
    void values();
    QVariant callServer(const QString &method, const QVariantList &args, CallRecorder::Outcome *outcome = nullptr);

    QProcess m_server;
    QUrl m_url;
};

void TestMaiaInterop::initTestCase()
{
    if (!QFileInfo::exists(Python))
        QSKIP("Debian's python3 is not installed");
    m_server.start(Python, {peerScript(), "serve"});
    QVERIFY(m_server.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(m_server.canReadLine() || m_server.state() != QProcess::Running, 20000);
    const int port = m_server.readLine().trimmed().toInt();
    QVERIFY2(port > 0, m_server.readAllStandardError().constData());
    m_url = QUrl(QStringLiteral("http://127.0.0.1:%1/RPC2").arg(port));
}

void TestMaiaInterop::cleanupTestCase()
{
    if (m_server.state() == QProcess::NotRunning)
        return;
    m_server.closeWriteChannel();
    if (!m_server.waitForFinished(5000))
        m_server.kill();
    m_server.waitForFinished(5000);
}

QVariant TestMaiaInterop::callServer(const QString &method, const QVariantList &args, CallRecorder::Outcome *outcome)
{
    MaiaXmlRpcClient client(m_url);
    CallRecorder recorder;
    client.call(method, args, &recorder, SLOT(onResponse(QVariant &, QNetworkReply *)), &recorder,
                SLOT(onFault(int, const QString &, QNetworkReply *)));
    QSignalSpy done(&recorder, &CallRecorder::recorded);
    if (!done.wait(20000))
        return QVariant();
    if (outcome)
        *outcome = recorder.last();
    return recorder.last().isFault ? QVariant() : recorder.last().value;
}

void TestMaiaInterop::values()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("pythonType");

    QTest::newRow("int") << QVariant(42) << "int";
    QTest::newRow("int-min") << QVariant(int(-2147483647 - 1)) << "int";
    QTest::newRow("bool-true") << QVariant(true) << "bool";
    QTest::newRow("bool-false") << QVariant(false) << "bool";
    QTest::newRow("double-not-six-digits") << QVariant(1234567.5) << "float";
    QTest::newRow("double-tiny") << QVariant(5e-324) << "float";
    QTest::newRow("double-large") << QVariant(-1.7976931348623157e308) << "float";
    QTest::newRow("string-ascii") << QVariant("hello world") << "str";
    QTest::newRow("string-markup") << QVariant("<a href=\"x\">&amp;</a> ]]> 'q'") << "str";
    QTest::newRow("string-non-ascii") << QVariant(QString::fromUtf8("Grüße, 東京, Ελλάδα")) << "str";
    QTest::newRow("string-outside-basic-plane") << QVariant(QString::fromUtf8("\xF0\x9F\x93\xB7 photo")) << "str";
    QTest::newRow("string-whitespace") << QVariant("  lead\tand trail \n ") << "str";
    QTest::newRow("string-empty") << QVariant(QString("")) << "str";
    QTest::newRow("string-large") << QVariant(QString(256 * 1024, 'Q')) << "str";
    QTest::newRow("base64-all-bytes") << QVariant(allBytes()) << "bytes";
    QTest::newRow("datetime") << QVariant(dateTime(2026, 12, 8, 14, 5, 9)) << "datetime";
    QTest::newRow("array-mixed") << QVariant(QVariantList {1, "two", 3.5, true, QByteArray("4")}) << "list";
    QTest::newRow("array-empty") << QVariant(QVariantList()) << "list";
    QTest::newRow("array-nested-100") << nestedLists(100) << "list";
    QTest::newRow("struct") << QVariant(QVariantMap {
        {"title", "Sunset"}, {QString::fromUtf8("schlüssel"), 1}, {"keywords", QVariantList {"sea", "sky"}}})
                            << "dict";
    QTest::newRow("struct-empty") << QVariant(QVariantMap()) << "dict";
}

void TestMaiaInterop::echo_data()
{
    values();
}

void TestMaiaInterop::echo()
{
    QFETCH(QVariant, value);
    QFETCH(QString, pythonType);

    compareVariants(callServer("describe", {value}), QVariant(pythonType));
    compareVariants(callServer("echo", {value}), value);
}

void TestMaiaInterop::fault_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");

    QTest::newRow("plain") << 4 << "Too many parameters.";
    QTest::newRow("negative-code-non-ascii-markup") << -32000 << QString::fromUtf8("Ungültig: <x> & 'y'");
}

void TestMaiaInterop::fault()
{
    QFETCH(int, code);
    QFETCH(QString, text);

    CallRecorder::Outcome outcome;
    callServer("fail", {code, text}, &outcome);
    QVERIFY(outcome.isFault);
    QCOMPARE(outcome.code, code);
    QCOMPARE(outcome.text, text);

    callServer("no.such.method", {}, &outcome);
    QVERIFY(outcome.isFault);
    QVERIFY(outcome.text.contains("no.such.method"));
}

void TestMaiaInterop::nilFromServer()
{
    CallRecorder::Outcome outcome;
    outcome.value = 1;
    callServer("nothing", {}, &outcome);
    QVERIFY(!outcome.isFault);
    QVERIFY(!outcome.value.isValid());
}

void TestMaiaInterop::documentsReadByPython_data()
{
    values();
    QTest::newRow("fault") << QVariant() << "fault";
}

void TestMaiaInterop::documentsReadByPython()
{
    QFETCH(QVariant, value);
    QFETCH(QString, pythonType);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const bool isFault = pythonType == "fault";
    const QString text = MaiaFault(-32601, QString::fromUtf8("méthode <inconnue>")).toString();
    QFile in(dir.filePath("ours.xml"));
    QVERIFY(in.open(QIODevice::WriteOnly));
    in.write((isFault ? text : MaiaObject::prepareResponse(value)).toUtf8());
    in.close();

    QProcess python;
    python.start(Python, {peerScript(), "relay", in.fileName(), dir.filePath("theirs.xml")});
    QVERIFY(python.waitForFinished(20000));
    QVERIFY2(python.exitCode() == 0, python.readAllStandardError().constData());
    QCOMPARE(QString::fromUtf8(python.readAllStandardOutput().trimmed()), pythonType);

    QFile out(dir.filePath("theirs.xml"));
    QVERIFY(out.open(QIODevice::ReadOnly));
    CallRecorder recorder;
    auto call = new MaiaObject;
    connect(call, SIGNAL(aresponse(QVariant &, QNetworkReply *)), &recorder,
            SLOT(onResponse(QVariant &, QNetworkReply *)));
    connect(call, SIGNAL(fault(int, const QString &, QNetworkReply *)), &recorder,
            SLOT(onFault(int, const QString &, QNetworkReply *)));
    call->parseResponse(QString::fromUtf8(out.readAll()), nullptr);
    QCOMPARE(recorder.count(), 1);
    QCOMPARE(recorder.last().isFault, isFault);
    if (isFault) {
        QCOMPARE(recorder.last().code, -32601);
        QCOMPARE(recorder.last().text, QString::fromUtf8("méthode <inconnue>"));
    } else {
        compareVariants(recorder.last().value, value);
    }
}

void TestMaiaInterop::commandLineTool_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");

    QTest::newRow("echo-object") << QStringList {"echo", QString::fromUtf8("{\"a\":[1,2.5,\"x\",true],\"ü\":\"東京\"}")}
                                 << 0 << QString::fromUtf8("{\"a\":[1,2.5,\"x\",true],\"ü\":\"東京\"}") << "";
    QTest::newRow("whole-number-is-int") << QStringList {"describe", "7"} << 0 << "\"int\""
                                         << "";
    QTest::newRow("beyond-32-bits-is-double") << QStringList {"describe", "3000000000"} << 0 << "\"float\""
                                              << "";
    QTest::newRow("fraction-is-double") << QStringList {"describe", "0.5"} << 0 << "\"float\""
                                        << "";
    QTest::newRow("null-result") << QStringList {"nothing"} << 0 << "null"
                                 << "";
    // <i8> values print exactly, also beyond what a double holds.
    QTest::newRow("i8-max") << QStringList {"wide", "\"9223372036854775807\""} << 0
                            << "[9223372036854775807,{\"n\":9223372036854775807}]"
                            << "";
    QTest::newRow("i8-min") << QStringList {"wide", "\"-9223372036854775808\""} << 0
                            << "[-9223372036854775808,{\"n\":-9223372036854775808}]"
                            << "";
    QTest::newRow("fault") << QStringList {"fail", "4", "\"bad <thing>\""} << 1 << ""
                           << "4: bad <thing>";
    QTest::newRow("argument-not-json") << QStringList {"echo", "[1,"} << 2 << ""
                                       << "*";
}

void TestMaiaInterop::commandLineTool()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);

    const QString tool = qEnvironmentVariable("XMLRPC_CALL");
    if (tool.isEmpty())
        QSKIP("XMLRPC_CALL is not set");
    QProcess process;
    process.start(tool, QStringList {m_url.toString()} + arguments);
    QVERIFY(process.waitForFinished(20000));
    QCOMPARE(process.exitCode(), exitCode);
    QCOMPARE(QString::fromUtf8(process.readAllStandardOutput().trimmed()), out);
    const QString stderrText = QString::fromUtf8(process.readAllStandardError().trimmed());
    if (err == "*")
        QVERIFY(stderrText.startsWith("xmlrpc-call: "));
    else
        QCOMPARE(stderrText, err);
}

QTEST_GUILESS_MAIN(TestMaiaInterop)
#include "tst_maiainterop.moc"
