#include "maiaxmltokenizer.h"

#include <QtTest>

namespace {

QString withAttributes(int count, const QString &last = QString())
{
    QString tag = QStringLiteral("<a");
    for (int i = 0; i < count; ++i)
        tag += QStringLiteral(" n%1='v'").arg(i);
    return tag + last + QStringLiteral("/>");
}

} // namespace

// The tokenizer decides what counts as well-formed for every response, so
// it gets hostile rows of its own; each verdict is also checked against
// QXmlStreamReader, an independent parser.
class TestMaiaXmlTokenizer : public QObject {
    Q_OBJECT

private slots:
    void wellFormedness_data();
    void wellFormedness();
    void tokens_data();
    void tokens();
    void errorLine_data();
    void errorLine();
};

void TestMaiaXmlTokenizer::wellFormedness_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("error"); // empty: well-formed
    QTest::addColumn<bool>("referenceAgrees");

    QTest::newRow("minimal") << "<a/>"
                             << "" << true;
    QTest::newRow("declaration-and-misc") << "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone='yes'?>\n<!-- c "
                                             "--><?pi data?><a x='1' y=\"&lt;&#65;\"/>\n<!-- end -->\n"
                                          << "" << true;
    QTest::newRow("bom") << QString(QChar(0xFEFF)) + "<a/>"
                         << "" << true;
    QTest::newRow("gt-in-attribute-and-text") << "<a x='>'>></a>"
                                              << "" << true;
    QTest::newRow("non-ascii-names") << QString::fromUtf8("<größe ä='1'>x</größe>") << "" << true;
    QTest::newRow("cdata-with-markup") << "<a><![CDATA[<b>&amp;]]]></a>"
                                       << "" << true;
    QTest::newRow("colon-starting-a-name") << "<:\r\r/>"
                                           << "" << false;
    QTest::newRow("colon-ending-a-name") << "<a: b:='1'/>"
                                         << "" << false;
    QTest::newRow("pi-named-like-xml-something") << "<a><?xml-stylesheet href='x'?></a>"
                                                 << "" << true;

    QTest::newRow("empty") << ""
                           << "premature end of document" << true;
    QTest::newRow("only-declaration") << "<?xml version=\"1.0\"?>"
                                      << "premature end of document" << true;
    QTest::newRow("unclosed-root") << "<a><b></b>"
                                   << "premature end of document" << true;
    QTest::newRow("mismatched-end-tag") << "<a><b></a></b>"
                                        << "end tag does not match the open element" << true;
    QTest::newRow("end-tag-without-start") << "</a>"
                                           << "end tag does not match the open element" << true;
    QTest::newRow("two-roots") << "<a/><b/>"
                               << "extra content at end of document" << true;
    QTest::newRow("text-after-root") << "<a/>tail"
                                     << "extra content at end of document" << true;
    QTest::newRow("text-before-root") << "lead<a/>"
                                      << "text before the root element" << true;
    QTest::newRow("doctype") << "<!DOCTYPE a><a/>"
                             << "document type declarations are not accepted" << false;
    QTest::newRow("doctype-inside-root") << "<a><!DOCTYPE b></a>"
                                         << "document type declarations are not accepted" << true;
    QTest::newRow("undeclared-entity") << "<a>&nbsp;</a>"
                                       << "undeclared entity" << true;
    QTest::newRow("entity-without-semicolon") << "<a>&amp</a>"
                                              << "undeclared entity" << true;
    QTest::newRow("bare-ampersand") << "<a>fish & chips</a>"
                                    << "undeclared entity" << true;
    QTest::newRow("char-ref-nul") << "<a>&#0;</a>"
                                  << "character reference to a character not allowed in XML" << true;
    QTest::newRow("char-ref-surrogate") << "<a>&#xD800;</a>"
                                        << "character reference to a character not allowed in XML" << true;
    QTest::newRow("char-ref-beyond-unicode") << "<a>&#x110000;</a>"
                                             << "character reference to a character not allowed in XML" << true;
    QTest::newRow("char-ref-huge") << "<a>&#99999999999999999999;</a>"
                                   << "character reference to a character not allowed in XML" << true;
    QTest::newRow("char-ref-no-digits") << "<a>&#x;</a>"
                                        << "malformed character reference" << true;
    QTest::newRow("control-character") << QString::fromLatin1("<a>\x01</a>") << "character not allowed in XML" << true;
    QTest::newRow("lone-surrogate") << QString("<a>") + QChar(0xDC00) + "</a>"
                                    << "character not allowed in XML" << false;
    QTest::newRow("noncharacter-fffe") << QString("<a>") + QChar(0xFFFE) + "</a>"
                                       << "character not allowed in XML" << true;
    QTest::newRow("cdata-end-in-text") << "<a>]]></a>"
                                       << "']]>' in text" << true;
    QTest::newRow("unterminated-cdata") << "<a><![CDATA[x</a>"
                                        << "premature end of document" << true;
    QTest::newRow("double-hyphen-in-comment") << "<a><!-- a -- b --></a>"
                                              << "'--' inside a comment" << true;
    QTest::newRow("unterminated-comment") << "<a><!-- x</a>"
                                          << "premature end of document" << true;
    QTest::newRow("late-declaration") << "<a/><?xml version=\"1.0\"?>"
                                      << "XML declaration not at the start of the document" << true;
    QTest::newRow("version-1.1") << "<?xml version='1.1'?><a/>"
                                 << "" << false;
    QTest::newRow("version-1.5") << "<?xml version=\"1.5\"?><methodResponse/>"
                                 << "" << false;
    QTest::newRow("version-1.10") << "<?xml version='1.10'?><a/>"
                                  << "" << false;
    QTest::newRow("version-1.0a") << "<?xml version='1.0a'?><a/>"
                                  << "unsupported XML version" << true;
    QTest::newRow("version-1.x") << "<?xml version='1.x'?><a/>"
                                 << "unsupported XML version" << true;
    QTest::newRow("version-1.") << "<?xml version='1.'?><a/>"
                                << "unsupported XML version" << true;
    QTest::newRow("version-2.0") << "<?xml version='2.0'?><a/>"
                                 << "unsupported XML version" << true;
    QTest::newRow("declaration-without-version") << "<?xml encoding=\"UTF-8\"?><a/>"
                                                 << "XML declaration without a version" << true;
    QTest::newRow("declaration-bad-standalone") << "<?xml version=\"1.0\" standalone=\"maybe\"?><a/>"
                                                << "standalone must be yes or no" << true;
    QTest::newRow("duplicate-attribute") << "<a x='1' x='2'/>"
                                         << "attribute given twice" << true;
    QTest::newRow("64-attributes") << withAttributes(64) << "" << true;
    QTest::newRow("65-attributes") << withAttributes(65) << "more than 64 attributes on one element" << false;
    QTest::newRow("duplicate-as-64th-attribute") << withAttributes(63, " n0='w'") << "attribute given twice" << true;
    QTest::newRow("unquoted-attribute") << "<a x=1/>"
                                        << "attribute value not quoted" << true;
    QTest::newRow("lt-in-attribute") << "<a x='<'/>"
                                     << "'<' in an attribute value" << true;
    QTest::newRow("attributes-without-space") << "<a x='1'y='2'/>"
                                              << "expected whitespace, '>' or '/>' in a start tag" << true;
    QTest::newRow("name-starting-with-digit") << "<1a/>"
                                              << "malformed element name" << true;
    QTest::newRow("truncated-start-tag") << "<a"
                                         << "premature end of document" << true;
    QTest::newRow("truncated-in-attribute") << "<a x='1"
                                            << "premature end of document" << true;
    QTest::newRow("cdata-outside-root") << "<![CDATA[x]]><a/>"
                                        << "character data outside the root element" << true;
}

void TestMaiaXmlTokenizer::wellFormedness()
{
    QFETCH(QString, document);
    QFETCH(QString, error);
    QFETCH(bool, referenceAgrees);

    MaiaXmlTokenizer tokenizer(document);
    int tokens = 0;
    while (!tokenizer.atEnd() && tokens < 100) {
        tokenizer.readNext();
        ++tokens;
    }
    QVERIFY(tokenizer.atEnd());
    QCOMPARE(tokenizer.errorString(), error);
    QCOMPARE(tokenizer.hasError(), !error.isEmpty());

    QXmlStreamReader reference(document);
    reference.setNamespaceProcessing(false);
    while (!reference.atEnd())
        reference.readNext();
    // Refusing DOCTYPEs is deliberate; QXmlStreamReader takes lone surrogates.
    QCOMPARE(reference.hasError() == !error.isEmpty(), referenceAgrees);
}

void TestMaiaXmlTokenizer::tokens_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<QStringList>("tokens");

    QTest::newRow("elements-and-text") << "<a><b>x</b><c/></a>"
                                       << QStringList {"<a", "<b", "x", "/b", "<c", "/c", "/a"};
    QTest::newRow("references-resolved") << "<a>&lt;&gt;&amp;&apos;&quot;&#233;&#x1F600;</a>"
                                         << QStringList {"<a", QString::fromUtf8("<>&'\"é\xF0\x9F\x98\x80"), "/a"};
    QTest::newRow("line-ends-normalised") << "<a>1\r\n2\r3\n</a>" << QStringList {"<a", "1\n2\n3\n", "/a"};
    QTest::newRow("cr-by-reference-kept") << "<a>1&#13;2</a>" << QStringList {"<a", "1\r2", "/a"};
    QTest::newRow("cdata-as-text") << "<a>x<![CDATA[<y>\r\n]]>z</a>" << QStringList {"<a", "x", "<y>\n", "z", "/a"};
    QTest::newRow("comments-and-pis-skipped") << "<a><!--c--><?p d?>t</a>" << QStringList {"<a", "t", "/a"};
    QTest::newRow("outside-basic-plane-text") << QString::fromUtf8("<a>\xF0\x9F\x93\xB7</a>")
                                              << QStringList {"<a", QString::fromUtf8("\xF0\x9F\x93\xB7"), "/a"};
}

void TestMaiaXmlTokenizer::tokens()
{
    QFETCH(QString, document);
    QFETCH(QStringList, tokens);

    MaiaXmlTokenizer tokenizer(document);
    QStringList seen;
    while (!tokenizer.atEnd() && seen.size() < 100) {
        switch (tokenizer.readNext()) {
        case MaiaXmlTokenizer::StartElement: seen << "<" + tokenizer.name().toString(); break;
        case MaiaXmlTokenizer::EndElement: seen << "/" + tokenizer.name().toString(); break;
        case MaiaXmlTokenizer::Characters: seen << tokenizer.text(); break;
        default: break;
        }
    }
    QVERIFY2(!tokenizer.hasError(), qPrintable(tokenizer.errorString()));
    QCOMPARE(seen, tokens);
}

void TestMaiaXmlTokenizer::errorLine_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<int>("line");

    QTest::newRow("first-line") << "<a>&x;</a>" << 1;
    QTest::newRow("after-lf") << "<a>\n\n<b></a>" << 3;
    QTest::newRow("after-crlf") << "<a>\r\n\r\n&x;</a>" << 3;
    QTest::newRow("after-lone-cr") << "<a>\r\r&x;</a>" << 3;
    QTest::newRow("at-end") << "<a>\n\n" << 3;
}

void TestMaiaXmlTokenizer::errorLine()
{
    QFETCH(QString, document);
    QFETCH(int, line);

    MaiaXmlTokenizer tokenizer(document);
    while (!tokenizer.atEnd())
        tokenizer.readNext();
    QVERIFY(tokenizer.hasError());
    QCOMPARE(tokenizer.lineNumber(), qint64(line));
}

QTEST_GUILESS_MAIN(TestMaiaXmlTokenizer)
#include "tst_maiaxmltokenizer.moc"
