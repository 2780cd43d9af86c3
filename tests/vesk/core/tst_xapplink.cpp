#include "core/xapplink.h"

#include <QtTest>

Q_DECLARE_METATYPE(XAppLink::Verb)

class TestXAppLink : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void parse_data();
    void parse();
};

void TestXAppLink::parse_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<XAppLink::Verb>("verb");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("alertText");

    QTest::newRow("alert-segments-joined")
        << "app://alert/Hello/World" << XAppLink::Alert << QStringList {"Hello", "World"} << "HelloWorld";
    QTest::newRow("alert-without-text") << "app://alert" << XAppLink::Alert << QStringList {} << "";
    QTest::newRow("alert-query-dropped") << "app://alert/Hi?x=1" << XAppLink::Alert << QStringList {"Hi"} << "Hi";
    QTest::newRow("alert-empty-segments-kept")
        << "app://alert/a//b/" << XAppLink::Alert << QStringList {"a", "", "b", ""} << "ab";
    QTest::newRow("alert-escaped-text-decoded")
        << "app://alert/Hello%20World" << XAppLink::Alert << QStringList {"Hello World"} << "Hello World";
    QTest::newRow("call-library") << "app://call/@tools/run/a/b" << XAppLink::Call
                                  << QStringList {"@tools", "run", "a", "b"} << "@toolsrunab";
    QTest::newRow("other-verb") << "app://other/x" << XAppLink::Unknown << QStringList {"x"} << "x";
    QTest::newRow("http-is-not-app") << "http://example.org/alert" << XAppLink::NotAppLink << QStringList {} << "";
    QTest::newRow("file-is-not-app") << "file:///tmp/app/x.html" << XAppLink::NotAppLink << QStringList {} << "";
    // The verb stands where a URL has its host, which URLs compare without case.
    QTest::newRow("verb-in-capitals") << "app://ALERT/x" << XAppLink::Alert << QStringList {"x"} << "x";
    QTest::newRow("scheme-in-capitals") << "APP://alert/x" << XAppLink::Alert << QStringList {"x"} << "x";
}

void TestXAppLink::parse()
{
    QFETCH(QString, url);
    QFETCH(XAppLink::Verb, verb);
    QFETCH(QStringList, arguments);
    QFETCH(QString, alertText);
    const XAppLink link = XAppLink::parse(QUrl(url));
    QCOMPARE(link.verb(), verb);
    if (verb != XAppLink::NotAppLink) {
        QCOMPARE(link.arguments(), arguments);
        QCOMPARE(link.alertText(), alertText);
    }
}

QTEST_GUILESS_MAIN(TestXAppLink)
#include "tst_xapplink.moc"
