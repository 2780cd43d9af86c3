#include "core/xfilemode.h"

#include <QtTest>

// C stdio open modes as pages give them.
class TestXFileMode : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void fileModes_data();
    void fileModes();
};

void TestXFileMode::fileModes_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("openMode");
    using D = QIODevice;
    QTest::newRow("r") << "r" << true << int(D::ReadOnly | D::Text);
    QTest::newRow("w") << "w" << true << int(D::WriteOnly | D::Truncate | D::Text);
    QTest::newRow("a") << "a" << true << int(D::Append | D::Text);
    QTest::newRow("rb") << "rb" << true << int(D::ReadOnly);
    QTest::newRow("wb") << "wb" << true << int(D::WriteOnly | D::Truncate);
    QTest::newRow("ab") << "ab" << true << int(D::Append);
    QTest::newRow("upper-case") << "W" << false << 0;
    QTest::newRow("plus") << "r+" << false << 0;
    QTest::newRow("padded") << "r " << false << 0;
    QTest::newRow("empty") << "" << false << 0;
}

void TestXFileMode::fileModes()
{
    QFETCH(QString, mode);
    QFETCH(bool, valid);
    QFETCH(int, openMode);
    QIODevice::OpenMode parsed;
    QCOMPARE(XFileMode::toOpenMode(mode, &parsed), valid);
    if (valid)
        QCOMPARE(int(parsed), openMode);
}

QTEST_GUILESS_MAIN(TestXFileMode)
#include "tst_xfilemode.moc"
