#include "xjsliteral.h"

#include <QWebFrame>
#include <QWebPage>
#include <QtTest>

#include <cmath>
#include <limits>

class TestXJsLiteral : public QObject {
    Q_OBJECT

private:
    QWebPage m_page;
    QVariant eval(const QString &script) { return m_page.mainFrame()->evaluateJavaScript(script); }

private Q_SLOTS:
    void stringsArriveUnchanged_data();
    void stringsArriveUnchanged();
    void literalText_data();
    void literalText();
    void dataCannotEndItsLiteral();
    void doublesRoundTrip_data();
    void doublesRoundTrip();
};

void TestXJsLiteral::stringsArriveUnchanged_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("plain") << QStringLiteral("hello");
    QTest::newRow("empty") << QString(QLatin1String(""));
    QTest::newRow("apostrophe") << QStringLiteral("it's");
    QTest::newRow("double-quote") << QStringLiteral("say \"hi\"");
    QTest::newRow("backslash-n-in-path") << QStringLiteral("C:\\new\\table.txt");
    QTest::newRow("escaped-apostrophe-in-data") << QStringLiteral("\\'");
    QTest::newRow("trailing-backslash") << QStringLiteral("dir\\");
    QTest::newRow("line-breaks") << QStringLiteral("a\nb\r\nc");
    QTest::newRow("tab-and-controls") << QString::fromUtf16(u"\t\u0001\u001f\u007f\u0000x");
    QTest::newRow("line-separators") << QString::fromUtf16(u"a\u2028b\u2029c");
    QTest::newRow("script-end-tag") << QStringLiteral("</script><script>alert(1)</script>");
    QTest::newRow("html-comment") << QStringLiteral("<!-- x -->");
    QTest::newRow("non-ascii") << QString::fromUtf16(
        u"P\u0159\u00edli\u0161 \u017elu\u0165ou\u010dk\u00fd k\u016f\u0148 \u65e5\u672c \U0001F600");
}

void TestXJsLiteral::stringsArriveUnchanged()
{
    QFETCH(QString, text);
    const QVariant back = eval(XJsLiteral::fromString(text));
    QCOMPARE(back.toString(), text);
    const QVariant inList = eval(XJsLiteral::fromVariant(QVariantList {text}) + QStringLiteral("[0]"));
    QCOMPARE(inList.toString(), text);
    QVariantMap map;
    map.insert(text, 1);
    const QVariant keys = eval(QStringLiteral("Object.keys(") + XJsLiteral::fromVariant(map) + QStringLiteral(")[0]"));
    QCOMPARE(keys.toString(), text);
}

void TestXJsLiteral::literalText_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("invalid") << QVariant() << "null";
    QTest::newRow("true") << QVariant(true) << "true";
    QTest::newRow("false") << QVariant(false) << "false";
    QTest::newRow("int") << QVariant(-42) << "-42";
    QTest::newRow("uint") << QVariant(4000000000u) << "4000000000";
    QTest::newRow("int64") << QVariant(Q_INT64_C(-9007199254740991)) << "-9007199254740991";
    QTest::newRow("double") << QVariant(1234567.5) << "1234567.5";
    QTest::newRow("whole-double") << QVariant(3.0) << "3";
    QTest::newRow("minus-zero") << QVariant(-0.0) << "-0";
    QTest::newRow("nan") << QVariant(std::numeric_limits<double>::quiet_NaN()) << "NaN";
    QTest::newRow("infinity") << QVariant(std::numeric_limits<double>::infinity()) << "Infinity";
    QTest::newRow("minus-infinity") << QVariant(-std::numeric_limits<double>::infinity()) << "-Infinity";
    QTest::newRow("char") << QVariant(QChar('\'')) << "'\\''";
    QTest::newRow("apostrophe") << QVariant(QStringLiteral("it's")) << "'it\\'s'";
    QTest::newRow("null-string-is-a-string") << QVariant(QString()) << "''";
    QTest::newRow("empty-string") << QVariant(QString(QLatin1String(""))) << "''";
    QVariantMap m;
    m.insert(QStringLiteral("b"), 1);
    m.insert(QStringLiteral("a"), QStringLiteral("x"));
    QTest::newRow("map-sorted") << QVariant(m) << "{'a':'x','b':1}";
    QTest::newRow("nested-list") << QVariant(QVariantList {1, QVariantList {true, QVariant()}}) << "[1,[true,null]]";
    QTest::newRow("string-list") << QVariant(QStringList {QStringLiteral("a"), QStringLiteral("b")}) << "['a','b']";
    QTest::newRow("empty-list") << QVariant(QVariantList()) << "[]";
    QTest::newRow("empty-map") << QVariant(QVariantMap()) << "{}";
    QVariantMap proto;
    proto.insert(QStringLiteral("__proto__"), QVariantMap {{QStringLiteral("x"), 1}});
    proto.insert(QStringLiteral("y"), 2);
    QTest::newRow("proto-key-is-own") << QVariant(proto) << "{['__proto__']:{'x':1},'y':2}";
    QTest::newRow("unsupported-type") << QVariant(QPoint(1, 2)) << "null";
}

void TestXJsLiteral::literalText()
{
    QFETCH(QVariant, value);
    QFETCH(QString, expected);
    QCOMPARE(XJsLiteral::fromVariant(value), expected);
    // Whatever the text, it must be a valid expression for the engine.
    QVERIFY(eval(QStringLiteral("(function(){try{eval(")
                 + XJsLiteral::fromString(QLatin1Char('(') + expected + QLatin1Char(')'))
                 + QStringLiteral(");return true;}catch(e){return false;}})()"))
                .toBool());
}

void TestXJsLiteral::dataCannotEndItsLiteral()
{
    eval(QStringLiteral("window.injected = false; function take(s, n){ window.got = s; window.n = n; }"));
    const QStringList hostile = {
        QStringLiteral("');injected=true;('"),
        QStringLiteral("\\');injected=true;//"),
        QStringLiteral("\n');injected=true;//"),
        QString::fromUtf16(u"\u2028');injected=true;//"),
    };
    for (const QString &h : hostile) {
        eval(XJsLiteral::call(QStringLiteral("take"), {h, 7}));
        QCOMPARE(eval(QStringLiteral("window.injected")).toBool(), false);
        QCOMPARE(eval(QStringLiteral("window.got")).toString(), h);
        QCOMPARE(eval(QStringLiteral("window.n")).toInt(), 7);
    }
    // Every key arrives as an own property, __proto__ included, and the prototype stays Object's.
    const QVariantMap keys {{QStringLiteral("__proto__"), QStringLiteral("p")}, {QStringLiteral("a"), 1}};
    QCOMPARE(eval(QStringLiteral("(function(o){return Object.keys(o).sort().join() + '|' + o.__proto__ + '|'"
                                 " + (Object.getPrototypeOf(o) === Object.prototype);})(")
                  + XJsLiteral::fromVariant(keys) + QStringLiteral(")"))
                 .toString(),
             QStringLiteral("__proto__,a|p|true"));
}

void TestXJsLiteral::doublesRoundTrip_data()
{
    QTest::addColumn<double>("value");
    QTest::newRow("half") << 0.5;
    QTest::newRow("large") << 1234567.5;
    QTest::newRow("tiny") << 5e-324;
    QTest::newRow("max") << std::numeric_limits<double>::max();
    QTest::newRow("third") << 1.0 / 3.0;
    QTest::newRow("negative") << -2.75e10;
    QTest::newRow("whole") << 42.0;
    QTest::newRow("whole-negative") << -7.0;
    QTest::newRow("minus-zero") << -0.0;
    QTest::newRow("largest-exact-whole") << 9007199254740991.0;
    QTest::newRow("beyond-exact-whole") << 9007199254740992.0;
    QTest::newRow("huge-whole") << 1e300;
}

void TestXJsLiteral::doublesRoundTrip()
{
    QFETCH(double, value);
    const QVariant back = eval(XJsLiteral::fromDouble(value));
    QCOMPARE(back.toDouble(), value);
    QCOMPARE(std::signbit(back.toDouble()), std::signbit(value));
}

QTEST_MAIN(TestXJsLiteral)
#include "tst_xjsliteral.moc"
