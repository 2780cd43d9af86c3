#include "kotagfolding.h"

#include <QtTest>

class TestKOTagFolding : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void foldDiacritics_data();
    void foldDiacritics();
    void searchName_data();
    void searchName();
    void escapeQuotes_data();
    void escapeQuotes();
    void tableHasItsStoredShape();
};

void TestKOTagFolding::foldDiacritics_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("folded");
    QTest::newRow("czech-and-slovak-carons")
        << QString::fromUtf16(u"ČčĎďĚěĽľŇňŃńŘřŔŕŤť") << QStringLiteral("CcDdEeLlNnNnRrRrTt");
    QTest::newRow("s-oe-z") << QString::fromUtf16(u"ŠŒŽšœž") << QStringLiteral("SOEZsoez");
    QTest::newRow("y-diaeresis-and-yen") << QString::fromUtf16(u"Ÿ¥") << QStringLiteral("YY");
    QTest::newRow("micro") << QString::fromUtf16(u"µ") << QStringLiteral("u");
    QTest::newRow("upper-a") << QString::fromUtf16(u"ÀÁÂÃÄÅÆ") << QStringLiteral("AAAAAAAE");
    QTest::newRow("upper-c-e-i") << QString::fromUtf16(u"ÇÈÉÊËÌÍÎÏ") << QStringLiteral("CEEEEIIII");
    QTest::newRow("upper-d-n-o") << QString::fromUtf16(u"ÐÑÒÓÔÕÖØ") << QStringLiteral("DNOOOOOO");
    QTest::newRow("upper-u-y") << QString::fromUtf16(u"ÙÚÛÜŮÝ") << QStringLiteral("UUUUUY");
    QTest::newRow("sharp-s") << QString::fromUtf16(u"ß") << QStringLiteral("s");
    QTest::newRow("lower-a") << QString::fromUtf16(u"àáâãäåæ") << QStringLiteral("aaaaaaae");
    QTest::newRow("lower-c-e-i") << QString::fromUtf16(u"çèéêëìíîï") << QStringLiteral("ceeeeiiii");
    QTest::newRow("eth-folds-to-o") << QString::fromUtf16(u"ð") << QStringLiteral("o");
    QTest::newRow("lower-n-o") << QString::fromUtf16(u"ñòóôõöø") << QStringLiteral("noooooo");
    QTest::newRow("lower-u-y") << QString::fromUtf16(u"ùúûüůýÿ") << QStringLiteral("uuuuuyy");
    QTest::newRow("outside-table-unchanged") << QString::fromUtf16(u"őłŁ×÷ĸ€") << QString::fromUtf16(u"őłŁ×÷ĸ€");
    QTest::newRow("cyrillic-unchanged") << QString::fromUtf16(u"Жёлтый") << QString::fromUtf16(u"Жёлтый");
    QTest::newRow("mixed-with-ascii") << QString::fromUtf16(u"Crème Brûlée") << QStringLiteral("Creme Brulee");
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("surrogate-pair-unchanged")
        << QString::fromUtf16(u"a\U0001F600b") << QString::fromUtf16(u"a\U0001F600b");
}

void TestKOTagFolding::foldDiacritics()
{
    QFETCH(QString, text);
    QFETCH(QString, folded);
    QCOMPARE(KOTagFolding::foldDiacritics(text), folded);
}

void TestKOTagFolding::searchName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("search");
    QTest::newRow("czech-phrase") << QString::fromUtf16(u"Žluťoučký kůň") << QStringLiteral("zlutoucky kun");
    QTest::newRow("double-space-and-punctuation")
        << QString::fromUtf16(u"Crème  Brûlée!") << QStringLiteral("creme brulee");
    QTest::newRow("upper-case-ascii") << QStringLiteral("New YORK 2020") << QStringLiteral("new york 2020");
    QTest::newRow("runs-of-spaces") << QStringLiteral("a     b  c") << QStringLiteral("a b c");
    QTest::newRow("leading-and-trailing") << QStringLiteral("  --sun--  ") << QStringLiteral("sun");
    QTest::newRow("tabs-and-line-breaks") << QStringLiteral("a\tb\r\nc") << QStringLiteral("a b c");
    QTest::newRow("apostrophe-and-quotes") << QStringLiteral("O'Brien's \"pub\"") << QStringLiteral("o brien s pub");
    QTest::newRow("outside-table-becomes-space") << QString::fromUtf16(u"Łódź őr") << QStringLiteral("od r");
    QTest::newRow("cyrillic-lowered-and-kept")
        << QString::fromUtf16(u"Москва Река") << QString::fromUtf16(u"москва река");
    QTest::newRow("cyrillic-yo-outside-range") << QString::fromUtf16(u"Ёлка") << QString::fromUtf16(u"лка");
    QTest::newRow("folded-upper-then-lowered") << QString::fromUtf16(u"ÆSOP ŒUVRE") << QStringLiteral("aesop oeuvre");
    QTest::newRow("only-punctuation") << QStringLiteral("!?.,") << QString(QLatin1String(""));
    QTest::newRow("sql-looking") << QStringLiteral("x'); DROP TABLE tag;--") << QStringLiteral("x drop table tag");
    QTest::newRow("greek-and-cjk-removed") << QString::fromUtf16(u"αβγ 日本 ok") << QStringLiteral("ok");
}

void TestKOTagFolding::searchName()
{
    QFETCH(QString, name);
    QFETCH(QString, search);
    QCOMPARE(KOTagFolding::searchName(name), search);

    // The same steps written with the regular expressions of the format.
    QString viaRegex = KOTagFolding::foldDiacritics(name).toLower();
    viaRegex.replace(QRegularExpression(QString::fromUtf16(u"[^a-z0-9а-я ]")), QStringLiteral(" "));
    viaRegex.replace(QRegularExpression(QStringLiteral("[ ][ ][ ]*")), QStringLiteral(" "));
    QCOMPARE(KOTagFolding::searchName(name), viaRegex.trimmed());
}

void TestKOTagFolding::escapeQuotes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("escaped");
    QTest::newRow("none") << QStringLiteral("abc") << QStringLiteral("abc");
    QTest::newRow("one") << QStringLiteral("O'Brien") << QStringLiteral("O''Brien");
    QTest::newRow("already-doubled") << QStringLiteral("a''b") << QStringLiteral("a''''b");
    QTest::newRow("only-quote") << QStringLiteral("'") << QStringLiteral("''");
    QTest::newRow("double-quote-and-backslash-kept") << QStringLiteral("\"\\") << QStringLiteral("\"\\");
}

void TestKOTagFolding::escapeQuotes()
{
    QFETCH(QString, text);
    QFETCH(QString, escaped);
    QCOMPARE(KOTagFolding::escapeQuotes(text), escaped);
}

void TestKOTagFolding::tableHasItsStoredShape()
{
    const QString chars = KOTagFolding::foldChars();
    const QStringList replacements = KOTagFolding::foldReplacements();
    // Order matters: the first position of a character wins.
    QCOMPARE(chars,
             QString::fromUtf16(u"ČčĎďĚěĽľŇňŃńŘřŔŕŤťŠŒŽšœžŸ¥µÀÁÂÃÄÅÆÇÈÉÊËÌÍÎÏÐÑÒÓÔÕÖØÙÚÛÜŮÝß"
                                u"àáâãäåæçèéêëìíîïðñòóôõöøùúûüůýÿ"));
    QCOMPARE(replacements,
             QStringLiteral("C c D d E e L l N n N n R r R r T t S OE Z s oe z Y Y u A A A A A A AE C E E E E "
                            "I I I I D N O O O O O O U U U U U Y s a a a a a a ae c e e e e i i i i o n "
                            "o o o o o o u u u u u y y")
                 .split(QLatin1Char(' ')));
    for (int i = 0; i < chars.size(); ++i) {
        QCOMPARE(chars.indexOf(chars.at(i)), i);
        QCOMPARE(KOTagFolding::foldDiacritics(chars.at(i)), replacements.at(i));
    }
}

QTEST_GUILESS_MAIN(TestKOTagFolding)
#include "tst_kotagfolding.moc"
