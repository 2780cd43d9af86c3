#include "platform/xplatform.h"

#include <QtTest>

// What the platform layer answers on this system.
class TestXPlatform : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void volumePath_data();
    void volumePath();
};

void TestXPlatform::volumePath_data()
{
    QTest::addColumn<QString>("disk");
    QTest::addColumn<QString>("path");
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("letter") << "C"
                            << "/";
    QTest::newRow("letter-colon") << "d:"
                                  << "/";
    QTest::newRow("windows-path") << "C:\\Users\\x"
                                  << "/";
    QTest::newRow("existing-path") << "/tmp"
                                   << "/tmp";
    QTest::newRow("missing-path") << "/no/such/place"
                                  << "";
    QTest::newRow("two-letters") << "CD"
                                 << "";
}

void TestXPlatform::volumePath()
{
    QFETCH(QString, disk);
    QFETCH(QString, path);
    QCOMPARE(XPlatform::volumePath(disk), path);
    QCOMPARE(XPlatform::space(disk, XPlatform::FreeSpace) >= 0, !path.isEmpty());
    if (!path.isEmpty())
        QVERIFY(XPlatform::space(disk, XPlatform::TotalSpace) >= XPlatform::space(disk, XPlatform::FreeSpace));
}

QTEST_GUILESS_MAIN(TestXPlatform)
#include "tst_xplatform.moc"
