#include "platform/xplatform.h"

#include <QtTest>

// What the platform layer answers on this system.
class TestXPlatform : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void volumePath_data();
    void volumePath();
    void startWriteback_data();
    void startWriteback();
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

void TestXPlatform::startWriteback_data()
{
    QTest::addColumn<bool>("open");
    QTest::addColumn<bool>("buffered");
    QTest::addColumn<bool>("taken");
    QTest::newRow("open-file") << true << false << true;
    // Bytes still in the device's buffer are flushed first and kept.
    QTest::newRow("buffered-bytes") << true << true << true;
    QTest::newRow("closed-file") << false << false << false;
}

void TestXPlatform::startWriteback()
{
    QFETCH(bool, open);
    QFETCH(bool, buffered);
    QFETCH(bool, taken);
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("data.bin")));
    const QByteArray block(3 * 1024 * 1024, 'w');
    QVERIFY(file.open(buffered ? QIODevice::WriteOnly : QIODevice::WriteOnly | QIODevice::Unbuffered));
    QCOMPARE(file.write(block), qint64(block.size()));
    QCOMPARE(file.write("tail", 4), qint64(4));
    if (!open)
        file.close();
#ifdef Q_OS_LINUX
    QCOMPARE(XPlatform::startWriteback(&file, 0, block.size() + 4), taken);
#else
    QCOMPARE(XPlatform::startWriteback(&file, 0, block.size() + 4), false);
    Q_UNUSED(taken)
#endif
    file.close();
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), block + "tail");
}

QTEST_GUILESS_MAIN(TestXPlatform)
#include "tst_xplatform.moc"
