#include "callrecorder.h"
#include "maiafault.h"
#include "maiaobject.h"
#include "maiaresponsedecoder.h"

#include <QDomDocument>
#include <QPointer>
#include <QSignalSpy>
#include <QTextStream>
#include <QtTest>

#include <limits>

namespace {

QString compact(const QDomNode &node)
{
    QString text;
    QTextStream stream(&text);
    node.save(stream, -1);
    return text;
}

QDomElement parseElement(const QString &xml)
{
    static QList<QDomDocument> keep;
    QDomDocument doc;
    doc.setContent(xml);
    keep.append(doc);
    return doc.documentElement();
}

void compareVariants(const QVariant &actual, const QVariant &expected)
{
    QCOMPARE(actual.userType(), expected.userType());
    QCOMPARE(actual, expected);
    // QString finds null and "" equal, but a null string reads like nil.
    if (expected.userType() == QMetaType::QString)
        QCOMPARE(actual.toString().isNull(), expected.toString().isNull());
}

QString response(const QString &valueXml)
{
    return QStringLiteral(
               "<?xml version=\"1.0\"?>\n<methodResponse><params><param>%1</param></params></methodResponse>")
        .arg(valueXml);
}

QString nested(int depth)
{
    QString xml;
    for (int i = 0; i < depth; ++i)
        xml += QLatin1String("<value><array><data>");
    xml += QLatin1String("<value><int>1</int></value>");
    for (int i = 0; i < depth; ++i)
        xml += QLatin1String("</data></array></value>");
    return xml;
}

QVariant nestedLists(int depth)
{
    QVariant value = 1;
    for (int i = 0; i < depth; ++i)
        value = QVariantList {value};
    return value;
}

// Hostile servers can send a start tag with a huge number of attributes.
QString attributeFlood(int count)
{
    QString attributes;
    for (int i = 0; i < count; ++i)
        attributes += QStringLiteral(" a%1=\"\"").arg(i);
    return attributes;
}

QDateTime dateTime(int y, int mo, int d, int h, int mi, int s)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s));
}

} // namespace

class TestMaiaMarshalling : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void toXml_data();
    void toXml();
    void fromXml_data();
    void fromXml();
    void prepareCall_data();
    void prepareCall();
    void prepareCallKeepsCharactersOutsideTheBasicPlane();
    void prepareResponseAndFault();
    void readerDepartsFromDom_data();
    void readerDepartsFromDom();
    void parseResponse_data();
    void parseResponse();
    void parseResponseDeletesTheCallObject();
    void decoderInPieces_data();
    void decoderInPieces();
};

void TestMaiaMarshalling::initTestCase()
{
    MaiaObject policy; // sets the DOM's invalid-character policy
}

void TestMaiaMarshalling::toXml_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("xml");
    QTest::addColumn<QString>("debug");

    QTest::newRow("bool-true") << QVariant(true) << "<value><boolean>1</boolean></value>"
                               << "";
    QTest::newRow("bool-false") << QVariant(false) << "<value><boolean>0</boolean></value>"
                                << "";
    QTest::newRow("int") << QVariant(42) << "<value><int>42</int></value>"
                         << "";
    QTest::newRow("int-min") << QVariant(int(-2147483647 - 1)) << "<value><int>-2147483648</int></value>"
                             << "";
    QTest::newRow("double-not-rounded") << QVariant(1234567.5) << "<value><double>1234567.5</double></value>"
                                        << "";
    QTest::newRow("double-fraction") << QVariant(0.1) << "<value><double>0.1</double></value>"
                                     << "";
    QTest::newRow("double-negative-zero") << QVariant(-0.0) << "<value><double>-0</double></value>"
                                          << "";
    QTest::newRow("double-large") << QVariant(1e300) << "<value><double>1e+300</double></value>"
                                  << "";
    QTest::newRow("string") << QVariant("hello") << "<value><string>hello</string></value>"
                            << "";
    QTest::newRow("string-markup") << QVariant("a<b>&c]]>") << "<value><string>a&lt;b>&amp;c]]&gt;</string></value>"
                                   << "";
    QTest::newRow("string-control-chars-dropped") << QVariant(QString::fromLatin1("a\x01"
                                                                                  "b\x0b"
                                                                                  "c\x1f"))
                                                  << "<value><string>abc</string></value>"
                                                  << "";
    QTest::newRow("string-non-ascii") << QVariant(QString::fromUtf8("Grüße, 東京"))
                                      << QString::fromUtf8("<value><string>Grüße, 東京</string></value>") << "";
    QTest::newRow("string-outside-basic-plane")
        << QVariant(QString::fromUtf8("a\xF0\x9F\x98\x80z"))
        << QString::fromUtf8("<value><string>a\xF0\x9F\x98\x80z</string></value>") << "";
    QTest::newRow("string-lone-surrogates-and-nonchars-dropped")
        << QVariant(QString(QChar(0xD800)) + "x" + QChar(0xDC00) + QChar(0xFFFE) + "y")
        << "<value><string>xy</string></value>"
        << "";
    QTest::newRow("struct-name-outside-basic-plane")
        << QVariant(QVariantMap {{QString::fromUtf8("\xF0\x9F\x93\xB7"), 1}})
        << QString::fromUtf8("<value><struct><member><name>\xF0\x9F\x93\xB7</name><value><int>1</int></value></"
                             "member></struct></value>")
        << "";
    QTest::newRow("string-empty") << QVariant(QString("")) << "<value><string></string></value>"
                                  << "";
    QTest::newRow("base64") << QVariant(QByteArray("\x00\xff hi", 5)) << "<value><base64>AP8gaGk=</base64></value>"
                            << "";
    QTest::newRow("datetime") << QVariant(dateTime(2026, 12, 8, 14, 5, 9))
                              << "<value><dateTime.iso8601>20261208T14:05:09</dateTime.iso8601></value>"
                              << "";
    QTest::newRow("array")
        << QVariant(QVariantList {1, "a"})
        << "<value><array><data><value><int>1</int></value><value><string>a</string></value></data></array></value>"
        << "";
    QTest::newRow("array-empty") << QVariant(QVariantList()) << "<value><array><data/></array></value>"
                                 << "";
    QTest::newRow("struct-key-order")
        << QVariant(QVariantMap {{"b", 1}, {"a", "x"}})
        << "<value><struct><member><name>a</name><value><string>x</string></value></member><member><name>b</"
           "name><value><int>1</int></value></member></struct></value>"
        << "";
    QTest::newRow("struct-empty") << QVariant(QVariantMap()) << "<value><struct/></value>"
                                  << "";
    QTest::newRow("unsigned-int") << QVariant(7u) << "<value><int>7</int></value>"
                                  << "";
    QTest::newRow("unsigned-int-beyond-int") << QVariant(3000000000u) << "<value><i8>3000000000</i8></value>"
                                             << "";
    QTest::newRow("int64") << QVariant(qint64(1) << 40) << "<value><i8>1099511627776</i8></value>"
                           << "";
    QTest::newRow("int64-fitting-int") << QVariant(qint64(-5)) << "<value><int>-5</int></value>"
                                       << "";
    QTest::newRow("uint64") << QVariant(quint64(5)) << "<value><int>5</int></value>"
                            << "";
    QTest::newRow("uint64-beyond-int64") << QVariant(quint64(1) << 63) << "<value/>"
                                         << "Failed to marshal unknown variant type: 5";
    QTest::newRow("float") << QVariant(1.5f) << "<value><double>1.5</double></value>"
                           << "";
    QTest::newRow("string-list") << QVariant(QStringList {"a", "b"})
                                 << "<value><array><data><value><string>a</string></value><value><string>b</string>"
                                    "</value></data></array></value>"
                                 << "";
    QTest::newRow("hash") << QVariant(QVariantHash {{"b", 2}, {"a", 1}})
                          << "<value><struct><member><name>a</name><value><int>1</int></value></member><member>"
                             "<name>b</name><value><int>2</int></value></member></struct></value>"
                          << "";
    QTest::newRow("date") << QVariant(QDate(2026, 12, 9))
                          << "<value><dateTime.iso8601>20261209T00:00:00</dateTime.iso8601></value>"
                          << "";
    QTest::newRow("char") << QVariant(QChar(0x00e9)) << QString::fromUtf8("<value><string>é</string></value>") << "";
    QTest::newRow("null") << QVariant() << "<value/>"
                          << "Failed to marshal unknown variant type: 0";
    QTest::newRow("unknown-in-array") << QVariant(QVariantList {QVariant(QUrl("x"))})
                                      << "<value><array><data><value/></data></array></value>"
                                      << "Failed to marshal unknown variant type: 17";
}

void TestMaiaMarshalling::toXml()
{
    QFETCH(QVariant, value);
    QFETCH(QString, xml);
    QFETCH(QString, debug);
    if (!debug.isEmpty())
        QTest::ignoreMessage(QtDebugMsg, qPrintable(debug));
    QCOMPARE(compact(MaiaObject::toXml(value)), xml);
}

void TestMaiaMarshalling::fromXml_data()
{
    QTest::addColumn<QString>("xml");
    QTest::addColumn<QVariant>("expected");
    QTest::addColumn<QString>("debug");

    QTest::newRow("boolean-1") << "<value><boolean>1</boolean></value>" << QVariant(true) << "";
    QTest::newRow("boolean-0") << "<value><boolean>0</boolean></value>" << QVariant(false) << "";
    QTest::newRow("boolean-TRUE-capitals") << "<value><boolean>TRUE</boolean></value>" << QVariant(true) << "";
    QTest::newRow("boolean-True") << "<value><boolean>True</boolean></value>" << QVariant(true) << "";
    QTest::newRow("boolean-spaced") << "<value><boolean> 1\n</boolean></value>" << QVariant(true) << "";
    QTest::newRow("boolean-false") << "<value><boolean>false</boolean></value>" << QVariant(false) << "";
    QTest::newRow("bare-text") << "<value>plain text</value>" << QVariant("plain text") << "";
    QTest::newRow("string") << "<value><string>s p</string></value>" << QVariant("s p") << "";
    QTest::newRow("string-entities") << "<value><string>&lt;&amp;&gt;&#233;</string></value>"
                                     << QVariant(QString::fromUtf8("<&>é")) << "";
    QTest::newRow("string-non-ascii") << QString::fromUtf8("<value><string>Grüße, 東京</string></value>")
                                      << QVariant(QString::fromUtf8("Grüße, 東京")) << "";
    QTest::newRow("string-cdata") << "<value><string><![CDATA[<b>]]></string></value>" << QVariant("<b>") << "";
    QTest::newRow("string-empty") << "<value><string/></value>" << QVariant(QString("")) << "";
    QTest::newRow("string-empty-pair") << "<value><string></string></value>" << QVariant(QString("")) << "";
    QTest::newRow("value-empty") << "<value/>" << QVariant(QString("")) << "";
    QTest::newRow("value-empty-pair") << "<value></value>" << QVariant(QString("")) << "";
    QTest::newRow("struct-name-empty")
        << "<value><struct><member><name/><value><string/></value></member></struct></value>"
        << QVariant(QVariantMap {{"", ""}}) << "";
    QTest::newRow("i4") << "<value><i4>-17</i4></value>" << QVariant(-17) << "";
    QTest::newRow("int") << "<value><int>2147483647</int></value>" << QVariant(2147483647) << "";
    QTest::newRow("int-beyond-32-bits") << "<value><int>3000000000</int></value>" << QVariant(qlonglong(3000000000LL))
                                        << "";
    QTest::newRow("i8") << "<value><i8>-9223372036854775808</i8></value>"
                        << QVariant(std::numeric_limits<qlonglong>::min()) << "";
    QTest::newRow("i8-small-stays-64-bit") << "<value><i8>5</i8></value>" << QVariant(qlonglong(5)) << "";
    QTest::newRow("INT-upper-case-tag") << "<value><INT>5</INT></value>" << QVariant(5) << "";
    QTest::newRow("double") << "<value><double>-2.5</double></value>" << QVariant(-2.5) << "";
    QTest::newRow("double-exponent") << "<value><double>1e+300</double></value>" << QVariant(1e300) << "";

    QTest::newRow("base64") << "<value><base64>AP8gaGk=</base64></value>" << QVariant(QByteArray("\x00\xff hi", 5))
                            << "";
    QTest::newRow("base64-with-line-breaks")
        << "<value><base64>AP8g\naGk=\n</base64></value>" << QVariant(QByteArray("\x00\xff hi", 5)) << "";
    QTest::newRow("datetime-iso8601") << "<value><dateTime.iso8601>20261208T14:05:09</dateTime.iso8601></value>"
                                      << QVariant(dateTime(2026, 12, 8, 14, 5, 9)) << "";
    QTest::newRow("datetime-lower-case") << "<value><datetime.iso8601>20261208T14:05:09</datetime.iso8601></value>"
                                         << QVariant(dateTime(2026, 12, 8, 14, 5, 9)) << "";
    QTest::newRow("datetime-mixed-case") << "<value><DateTime.ISO8601>19991231T23:59:59</DateTime.ISO8601></value>"
                                         << QVariant(dateTime(1999, 12, 31, 23, 59, 59)) << "";
    QTest::newRow("datetime-short-tag") << "<value><dateTime>20000101T00:00:00</dateTime></value>"
                                        << QVariant(dateTime(2000, 1, 1, 0, 0, 0)) << "";
    QTest::newRow("datetime-zulu-suffix") << "<value><dateTime.iso8601>20261208T14:05:09Z</dateTime.iso8601></value>"
                                          << QVariant(QDateTime(QDate(2026, 12, 8), QTime(14, 5, 9), Qt::UTC)) << "";
    QTest::newRow("datetime-extended-form") << "<value><dateTime.iso8601>2026-12-09T03:04:05</dateTime.iso8601></value>"
                                            << QVariant(dateTime(2026, 12, 9, 3, 4, 5)) << "";
    QTest::newRow("datetime-fraction-and-zulu")
        << "<value><dateTime.iso8601>2026-12-09T03:04:05.25Z</dateTime.iso8601></value>"
        << QVariant(QDateTime(QDate(2026, 12, 9), QTime(3, 4, 5, 250), Qt::UTC)) << "";
    QTest::newRow("datetime-mixed-separators")
        << "<value><dateTime.iso8601>2026-1209T03:04:05</dateTime.iso8601></value>" << QVariant(QDateTime()) << "";
    QTest::newRow("datetime-month-13") << "<value><dateTime.iso8601>20261309T03:04:05</dateTime.iso8601></value>"
                                       << QVariant(QDateTime()) << "";
    QTest::newRow("datetime-offset-suffix")
        << "<value><dateTime.iso8601>20261208T14:05:09+01:00</dateTime.iso8601></value>"
        << QVariant(QDateTime(QDate(2026, 12, 8), QTime(14, 5, 9), Qt::OffsetFromUTC, 3600)) << "";
    QTest::newRow("nil") << "<value><nil/></value>" << QVariant() << "";
    QTest::newRow("array") << "<value><array><data><value><int>1</int></value><value>b</value></data></array></value>"
                           << QVariant(QVariantList {1, "b"}) << "";
    QTest::newRow("array-empty") << "<value><array><data/></array></value>" << QVariant(QVariantList()) << "";
    QTest::newRow("array-nested") << "<value><array><data><value><array><data><value><boolean>1</boolean></value></"
                                     "data></array></value></data></array></value>"
                                  << QVariant(QVariantList {QVariant(QVariantList {true})}) << "";
    QTest::newRow("struct")
        << "<value><struct><member><name>a</name><value><int>1</int></value></member><member><name>b</"
           "name><value><string>x</string></value></member></struct></value>"
        << QVariant(QVariantMap {{"a", 1}, {"b", "x"}}) << "";
    QTest::newRow("struct-duplicate-keeps-last")
        << "<value><struct><member><name>k</name><value><int>1</int></value></member><member><name>k</"
           "name><value><int>2</int></value></member></struct></value>"
        << QVariant(QVariantMap {{"k", 2}}) << "";
    QTest::newRow("struct-member-without-value") << "<value><struct><member><name>k</name></member></struct></value>"
                                                 << QVariant(QVariantMap {{"k", QVariant()}}) << "";
    QTest::newRow("struct-empty") << "<value><struct/></value>" << QVariant(QVariantMap()) << "";
    QTest::newRow("unknown-type") << "<value><Float>5</Float></value>" << QVariant()
                                  << "Cannot demarshal unknown type float";
    QTest::newRow("not-a-value-element") << "<param><int>5</int></param>" << QVariant() << "";
}

void TestMaiaMarshalling::fromXml()
{
    QFETCH(QString, xml);
    QFETCH(QVariant, expected);
    QFETCH(QString, debug);

    if (!debug.isEmpty())
        QTest::ignoreMessage(QtDebugMsg, qPrintable(debug));
    compareVariants(MaiaObject::fromXml(parseElement(xml)), expected);

    // The response reader must agree with the DOM conversion.
    if (xml.startsWith(QLatin1String("<value")) && !debug.isEmpty())
        QTest::ignoreMessage(QtDebugMsg, qPrintable(debug));
    CallRecorder recorder;
    auto call = new MaiaObject;
    connect(call, SIGNAL(aresponse(QVariant &, QNetworkReply *)), &recorder,
            SLOT(onResponse(QVariant &, QNetworkReply *)));
    call->parseResponse(response(xml), nullptr);
    QCOMPARE(recorder.count(), 1);
    compareVariants(recorder.at(0).value, expected);
}

// The response reader follows XML's data model where Qt's DOM conversion
// does not; Python's xmlrpc.client reads these rows as the reader does,
// except the last, where it keeps only the final piece of text.
void TestMaiaMarshalling::readerDepartsFromDom_data()
{
    QTest::addColumn<QString>("xml");
    QTest::addColumn<QVariant>("dom");
    QTest::addColumn<QVariant>("reader");

    const QString member = QStringLiteral("<member><name>a</name><value><int>1</int></value></member>");
    QTest::newRow("whitespace-only-bare-text") << "<value>   </value>" << QVariant(QString("")) << QVariant("   ");
    QTest::newRow("whitespace-only-string")
        << "<value><string> \n </string></value>" << QVariant(QString("")) << QVariant(" \n ");
    QTest::newRow("whitespace-only-member-name")
        << "<value><struct><member><name> </name><value>1</value></member></struct></value>"
        << QVariant(QVariantMap {{"", "1"}}) << QVariant(QVariantMap {{" ", "1"}});
    QTest::newRow("raw-crlf-in-string") << "<value><string>a\r\nb\rc</string></value>" << QVariant("a\r\nb\rc")
                                        << QVariant("a\nb\nc");
    QTest::newRow("comment-before-type") << "<value><!-- c --><int>5</int></value>" << QVariant("5") << QVariant(5);
    QTest::newRow("pi-before-type") << "<value><?p d?><int>5</int></value>" << QVariant("5") << QVariant(5);
    QTest::newRow("comment-in-struct") << "<value><struct><!-- c -->" + member + "</struct></value>"
                                       << QVariant(QVariantMap {{"", QVariant()}, {"a", 1}})
                                       << QVariant(QVariantMap {{"a", 1}});
    QTest::newRow("comment-in-data")
        << "<value><array><data><!-- c --><value><int>1</int></value></data></array></value>"
        << QVariant(QVariantList {QVariant(), 1}) << QVariant(QVariantList {1});
    QTest::newRow("text-in-data") << "<value><array><data>x<value><int>1</int></value></data></array></value>"
                                  << QVariant(QVariantList {QVariant(), 1}) << QVariant(QVariantList {1});
    QTest::newRow("comment-before-data")
        << "<value><array><!-- c --><data><value><int>1</int></value></data></array></value>"
        << QVariant(QVariantList()) << QVariant(QVariantList {1});
    QTest::newRow("space-between-elements-in-string")
        << "<value><string><b>x</b> <b>y</b></string></value>" << QVariant("xy") << QVariant("x y");
}

void TestMaiaMarshalling::readerDepartsFromDom()
{
    QFETCH(QString, xml);
    QFETCH(QVariant, dom);
    QFETCH(QVariant, reader);

    compareVariants(MaiaObject::fromXml(parseElement(xml)), dom);

    CallRecorder recorder;
    auto call = new MaiaObject;
    connect(call, SIGNAL(aresponse(QVariant &, QNetworkReply *)), &recorder,
            SLOT(onResponse(QVariant &, QNetworkReply *)));
    call->parseResponse(response(xml), nullptr);
    QCOMPARE(recorder.count(), 1);
    compareVariants(recorder.at(0).value, reader);
}

void TestMaiaMarshalling::prepareCall_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<QVariantList>("args");

    QTest::newRow("no-arguments") << "system.listMethods" << QVariantList();
    QTest::newRow("scalars") << "sample.add"
                             << QVariantList {true, 7, 2.25, "text", QByteArray("bin"), dateTime(2026, 1, 2, 3, 4, 5)};
    QTest::newRow("escaping-in-name-and-text") << "a<b&c" << QVariantList {QString("x]]>y<z&\r\n\t")};
    QTest::newRow("control-characters") << "m"
                                        << QVariantList {QString::fromLatin1("a\x02"
                                                                             "b")};
    QTest::newRow("nested-containers") << "m"
                                       << QVariantList {QVariantMap {
                                              {"list", QVariantList {1, QVariantMap {{"k", "v"}}, QVariantList()}},
                                              {"empty", QVariantMap()}}};
    QTest::newRow("empty-strings") << "" << QVariantList {QString(), QByteArray()};
    QTest::newRow("outside-basic-plane-and-lone-surrogates")
        << "m" << QVariantList {QString::fromUtf8("\xF0\x9F\x98\x80") + QChar(0xD800) + "x" + QChar(0xDC00)};
    QTest::newRow("indented-beyond-64-spaces") << "m" << QVariantList {nestedLists(40)};
}

void TestMaiaMarshalling::prepareCall()
{
    QFETCH(QString, method);
    QFETCH(QVariantList, args);

    // The same document built with Qt's DOM and written with indentation 1.
    QDomDocument doc;
    doc.appendChild(doc.createProcessingInstruction("xml", "version=\"1.0\" encoding=\"UTF-8\""));
    QDomElement root = doc.createElement("methodCall");
    QDomElement name = doc.createElement("methodName");
    name.appendChild(doc.createTextNode(method));
    root.appendChild(name);
    QDomElement params = doc.createElement("params");
    for (const QVariant &arg : args) {
        QDomElement param = doc.createElement("param");
        param.appendChild(doc.importNode(MaiaObject::toXml(arg), true));
        params.appendChild(param);
    }
    root.appendChild(params);
    doc.appendChild(root);

    const QString text = MaiaObject::prepareCall(method, args);
    QCOMPARE(text, doc.toString(1));
}

void TestMaiaMarshalling::prepareCallKeepsCharactersOutsideTheBasicPlane()
{
    const QString smile = QString::fromUtf8("\xF0\x9F\x98\x80");
    const QString lone = QString(QChar(0xD800)) + "x" + QChar(0xDC00) + QChar(0xFFFE);
    const QString text = MaiaObject::prepareCall("m", {smile + lone});
    QVERIFY(text.contains("<string>" + smile + "x</string>"));
}

void TestMaiaMarshalling::prepareResponseAndFault()
{
    QDomDocument doc;
    QVERIFY(doc.setContent(MaiaObject::prepareResponse(QVariantList {1, "two"})));
    QCOMPARE(doc.documentElement().tagName(), QString("methodResponse"));
    QCOMPARE(
        MaiaObject::fromXml(
            doc.documentElement().firstChildElement("params").firstChildElement("param").firstChildElement("value")),
        QVariant(QVariantList {1, "two"}));

    const QString fault = MaiaFault(-32601, "no such method <x>").toString();
    QVERIFY(fault.startsWith(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<methodResponse>\n <fault>\n  <value>\n   <struct>\n"));
    QVERIFY(doc.setContent(fault));
    const QVariantMap map =
        MaiaObject::fromXml(doc.documentElement().firstChildElement("fault").firstChildElement("value")).toMap();
    compareVariants(map.value("faultCode"), QVariant(-32601));
    compareVariants(map.value("faultString"), QVariant("no such method <x>"));
}

void TestMaiaMarshalling::parseResponse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("isFault");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("faultText"); // a prefix when it ends in "*"

    const QString notWellFormed = QStringLiteral("parse error: response not well formed at line %1: %2");
    const QString notXmlRpc = QStringLiteral("parse error: invalid xml-rpc. not conforming to spec.");
    const QString laughs = QStringLiteral(
        "<?xml version=\"1.0\"?>\n<!DOCTYPE lolz [\n <!ENTITY lol \"lol\">\n"
        " <!ENTITY lol2 \"&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;\">\n"
        " <!ENTITY lol3 \"&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;\">\n]>\n"
        "<methodResponse><params><param><value><string>&lol3;</string></value></param></params></methodResponse>");

    QTest::newRow("params-int") << response("<value><int>5</int></value>") << false << QVariant(5) << 0 << "";
    QTest::newRow("params-whitespace-around-type")
        << response("<value>\n  <string> a </string>\n</value>") << false << QVariant(" a ") << 0 << "";
    QTest::newRow("params-empty-value") << response("<value/>") << false << QVariant(QString("")) << 0 << "";
    // The DOM algorithm would take the comment or text for the "param".
    QTest::newRow("comment-before-param")
        << "<methodResponse><params><!-- c --><param><value><int>1</int></value></param></params></methodResponse>"
        << false << QVariant(1) << 0 << "";
    QTest::newRow("text-before-value")
        << "<methodResponse><params><param>\n x <value><int>1</int></value></param></params></methodResponse>" << false
        << QVariant(1) << 0 << "";
    QTest::newRow("params-without-param")
        << "<methodResponse><params/></methodResponse>" << false << QVariant() << 0 << "";
    QTest::newRow("string-outside-basic-plane")
        << response(QString::fromUtf8("<value><string>\xF0\x9F\x98\x80&#x1F601;</string></value>")) << false
        << QVariant(QString::fromUtf8("\xF0\x9F\x98\x80\xF0\x9F\x98\x81")) << 0 << "";
    QTest::newRow("only-first-param") << "<methodResponse><params><param><value><int>1</int></value></"
                                         "param><param><value><int>2</int></value></param></params></methodResponse>"
                                      << false << QVariant(1) << 0 << "";
    QTest::newRow("bom-and-comments") << QString(QChar(0xFEFF))
            + "<?xml version=\"1.0\"?><!-- c "
              "--><methodResponse><params><param><value>x</value></param></params></methodResponse>"
                                      << false << QVariant("x") << 0 << "";
    QTest::newRow("nested-256-levels") << response(nested(255)) << false << QVariant() << 0 << "*";
    QTest::newRow("deep-foreign-elements-in-string")
        << response("<value><string>" + QString("<a>").repeated(100000) + "t" + QString("</a>").repeated(100000)
                    + "</string></value>")
        << false << QVariant("t") << 0 << "";
    QTest::newRow("fault") << "<methodResponse><fault><value><struct><member><name>faultCode</name><value><int>4</"
                              "int></value></member><member><name>faultString</name><value><string>Too many "
                              "parameters.</string></value></member></struct></value></fault></methodResponse>"
                           << true << QVariant() << 4 << "Too many parameters.";
    QTest::newRow("fault-not-a-struct") << "<methodResponse><fault><value><int>4</int></value></fault></methodResponse>"
                                        << true << QVariant() << 0 << "";
    QTest::newRow("neither-params-nor-fault")
        << "<methodResponse><result>1</result></methodResponse>" << true << QVariant() << -32600 << notXmlRpc;
    QTest::newRow("empty-root") << "<methodResponse/>" << true << QVariant() << -32600 << notXmlRpc;
    QTest::newRow("html-page") << "<html><head><title>Oops</title></head><body><p>Service down</p></body></html>"
                               << true << QVariant() << -32600 << notXmlRpc;
    QTest::newRow("html-not-well-formed")
        << "<html><body><p>Error<br></body></html>" << true << QVariant() << -32700 << notWellFormed.arg(1).arg("*");
    QTest::newRow("empty-text") << "" << true << QVariant() << -32700 << notWellFormed.arg(1).arg("*");
    QTest::newRow("truncated")
        << "<?xml version=\"1.0\"?>\n<methodResponse>\n<params><param><value><int>5</int></value></param>" << true
        << QVariant() << -32700 << notWellFormed.arg(3).arg("*");
    QTest::newRow("mismatched-tag-line-3")
        << "<?xml version=\"1.0\"?>\n<methodResponse>\n<params></param></methodResponse>" << true << QVariant()
        << -32700 << notWellFormed.arg(3).arg("*");
    QTest::newRow("garbage-after-root") << response("<value>1</value>") + "<extra/>" << true << QVariant() << -32700
                                        << notWellFormed.arg(2).arg("*");
    QTest::newRow("undeclared-entity") << response("<value><string>&bogus;</string></value>") << true << QVariant()
                                       << -32700 << notWellFormed.arg(2).arg("*");
    QTest::newRow("billion-laughs") << laughs << true << QVariant() << -32700
                                    << notWellFormed.arg(2).arg("document type declarations are not accepted");
    QTest::newRow("doctype-after-comment")
        << "<!-- x -->\n\n<!DOCTYPE methodResponse SYSTEM \"file:///etc/passwd\"><methodResponse/>" << true
        << QVariant() << -32700 << notWellFormed.arg(3).arg("document type declarations are not accepted");
    QTest::newRow("nested-257-levels") << response(nested(256)) << true << QVariant() << -32700
                                       << notWellFormed.arg(2).arg("values nested deeper than 256 levels");
    QTest::newRow("nested-100000-levels") << response(nested(100000)) << true << QVariant() << -32700
                                          << notWellFormed.arg(2).arg("values nested deeper than 256 levels");
    QTest::newRow("attribute-flood") << "<methodResponse" + attributeFlood(80000) + "><params/></methodResponse>"
                                     << true << QVariant() << -32700
                                     << notWellFormed.arg(1).arg("more than 64 attributes on one element");
    const QString invalidValue = QStringLiteral("parse error: invalid value at line 2: not a valid %1: \"%2\"");
    QTest::newRow("int-with-letters") << response("<value><int>12abc</int></value>") << true << QVariant() << -32700
                                      << invalidValue.arg("int", "12abc");
    QTest::newRow("int-beyond-64-bits") << response("<value><int>9223372036854775808</int></value>") << true
                                        << QVariant() << -32700 << invalidValue.arg("int", "9223372036854775808");
    QTest::newRow("i8-empty") << response("<value><i8/></value>") << true << QVariant() << -32700
                              << invalidValue.arg("int", "");
    QTest::newRow("double-not-a-number") << response("<value><double>abc</double></value>") << true << QVariant()
                                         << -32700 << invalidValue.arg("double", "abc");
    QTest::newRow("boolean-yes") << response("<value><boolean>yes</boolean></value>") << true << QVariant() << -32700
                                 << invalidValue.arg("boolean", "yes");
    QTest::newRow("boolean-2") << response("<value><boolean>2</boolean></value>") << true << QVariant() << -32700
                               << invalidValue.arg("boolean", "2");
    QTest::newRow("base64-invalid-character") << response("<value><base64>AP8*aGk=</base64></value>") << true
                                              << QVariant() << -32700 << invalidValue.arg("base64", "AP8*aGk=");
    QTest::newRow("base64-padding-inside") << response("<value><base64>AP==aGk=</base64></value>") << true << QVariant()
                                           << -32700 << invalidValue.arg("base64", "AP==aGk=");
    QTest::newRow("invalid-value-deep-in-struct")
        << response("<value><struct><member><name>n</name><value><array><data><value><int>x</int></value></data>"
                    "</array></value></member></struct></value>")
        << true << QVariant() << -32700 << invalidValue.arg("int", "x");
    QTest::newRow("nul-character-reference") << response("<value><string>&#0;</string></value>") << true << QVariant()
                                             << -32700 << notWellFormed.arg(2).arg("*");
}

void TestMaiaMarshalling::parseResponse()
{
    QFETCH(QString, text);
    QFETCH(bool, isFault);
    QFETCH(QVariant, value);
    QFETCH(int, code);
    QFETCH(QString, faultText);

    CallRecorder recorder;
    auto call = new MaiaObject;
    connect(call, SIGNAL(aresponse(QVariant &, QNetworkReply *)), &recorder,
            SLOT(onResponse(QVariant &, QNetworkReply *)));
    connect(call, SIGNAL(fault(int, const QString &, QNetworkReply *)), &recorder,
            SLOT(onFault(int, const QString &, QNetworkReply *)));
    call->parseResponse(text, nullptr);

    QCOMPARE(recorder.count(), 1);
    QCOMPARE(recorder.at(0).isFault, isFault);
    if (!isFault) {
        if (faultText != "*")
            compareVariants(recorder.at(0).value, value);
        return;
    }
    QCOMPARE(recorder.at(0).code, code);
    const QString actual = recorder.at(0).text;
    if (faultText.endsWith('*'))
        QVERIFY2(actual.startsWith(faultText.chopped(1)) && actual.size() > faultText.size(), qPrintable(actual));
    else
        QCOMPARE(actual, faultText);
}

void TestMaiaMarshalling::parseResponseDeletesTheCallObject()
{
    QPointer<MaiaObject> call = new MaiaObject;
    call->setProperty("name", "ok|err");
    CallRecorder recorder;
    connect(call.data(), SIGNAL(aresponse(QVariant &, QNetworkReply *)), &recorder, SLOT(onResponseOnly(QVariant &)));
    call->parseResponse(response("<value>1</value>"), nullptr);
    QCOMPARE(recorder.count(), 1);
    QCOMPARE(recorder.at(0).name, QString("ok|err"));
    // Deleted later, not inside its own call chain.
    QVERIFY(!call.isNull());
    QTRY_VERIFY(call.isNull());

    call = new MaiaObject;
    call->parseResponse("not xml", nullptr);
    QTRY_VERIFY(call.isNull());
}

QTEST_GUILESS_MAIN(TestMaiaMarshalling)
void TestMaiaMarshalling::decoderInPieces_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("text");
    const QString doc = QStringLiteral("<a>caf\u00e9 \U0001F600 \u20ac</a>");
    QTest::newRow("utf-8") << doc.toUtf8() << doc;
    QTest::newRow("utf-8-bom") << QByteArray("\xEF\xBB\xBF") + doc.toUtf8() << QChar(0xFEFF) + doc;
    const QByteArray latin = "<?xml version='1.0' encoding='ISO-8859-1'?><a>caf\xE9</a>";
    QTest::newRow("latin-1-declared") << latin << QString::fromLatin1(latin);
    QByteArray le("\xFF\xFE", 2);
    le.append(reinterpret_cast<const char *>(doc.utf16()), doc.size() * 2);
    QTest::newRow("utf-16le-bom") << le << QChar(0xFEFF) + doc;
    QTest::newRow("utf-8-cut-in-a-sequence") << QByteArray("<a>\xE2\x82") << QStringLiteral("<a>\uFFFD");
    QTest::newRow("unknown-encoding") << QByteArray("<?xml version='1.0' encoding='x-none'?><a/>") << QString();
}

void TestMaiaMarshalling::decoderInPieces()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, text);
    // One byte at a time splits every multi-byte sequence and the declaration.
    MaiaResponseDecoder decoder;
    for (char c : body)
        decoder.feed(QByteArray(1, c));
    QString decoded;
    QString error;
    QCOMPARE(decoder.finish(&decoded, &error), !text.isNull());
    QCOMPARE(decoded, text);
    if (text.isNull())
        QCOMPARE(error, QStringLiteral("unknown encoding x-none"));
    QCOMPARE(decoder.bytesFed(), qint64(body.size()));
}

#include "tst_maiamarshalling.moc"
