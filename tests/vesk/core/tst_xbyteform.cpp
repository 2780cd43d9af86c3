#include "core/xbyteform.h"

#include <QtTest>

// How sizes and byte strings are written for pages.
class TestXByteForm : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void byteForms_data();
    void byteForms();
};

void TestXByteForm::byteForms_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("string-utf8") << QVariant(QStringLiteral("ls \u010d")) << QByteArray("ls \xc4\x8d");
    QTest::newRow("string-cut-at-zero") << QVariant(QStringLiteral("echo a") + QChar(0) + QStringLiteral("b"))
                                        << QByteArray("echo a");
    QTest::newRow("integer-double") << QVariant(42.0) << QByteArray("42");
    QTest::newRow("fraction") << QVariant(1.5) << QByteArray("1.5");
    QTest::newRow("boolean") << QVariant(true) << QByteArray("true");
    QTest::newRow("list") << QVariant(QVariantList {QStringLiteral("ls")}) << QByteArray();
    QTest::newRow("map") << QVariant(QVariantMap {{QStringLiteral("a"), 1}}) << QByteArray();
    QTest::newRow("null") << QVariant() << QByteArray();
}

void TestXByteForm::byteForms()
{
    QFETCH(QVariant, value);
    QFETCH(QByteArray, bytes);
    QCOMPARE(XByteForm::ofVariant(value), bytes);
    // Writing is Latin-1 cut at the first zero; reading is UTF-8 cut at the first zero.
    QCOMPARE(XByteForm::toLatin1(QStringLiteral("\u010d\u00e9x") + QChar(0) + QStringLiteral("y")),
             QByteArray("?\xe9x"));
    QCOMPARE(XByteForm::fromUtf8(QByteArray("\xc4\x8d\0z", 4)), QStringLiteral("\u010d"));
    QCOMPARE(XByteForm::digestText(QByteArray("ab\0cd", 5)), QStringLiteral("ab"));
}

QTEST_GUILESS_MAIN(TestXByteForm)
#include "tst_xbyteform.moc"
