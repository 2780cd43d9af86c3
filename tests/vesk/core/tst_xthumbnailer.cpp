#include "core/xthumbnailer.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <sys/stat.h>

// Photos are made by the test: a JPEG of a given size, optionally carrying an
// EXIF orientation, or one whose header claims a size it does not have.
class TestXThumbnailer : public QObject {
    Q_OBJECT

private:
    static QByteArray jpeg(int width, int height)
    {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(Qt::red);
        // The left half green: a turned thumbnail shows where it went.
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width / 2; ++x)
                image.setPixel(x, y, qRgb(0, 255, 0));
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter(&buffer, "jpeg").write(image);
        return bytes;
    }
    // An APP1 segment with one IFD entry: Orientation (0x0112), SHORT, the value.
    static QByteArray withOrientation(QByteArray bytes, int orientation)
    {
        QByteArray exif("Exif\0\0MM\0\x2a\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0", 25);
        exif += char(orientation);
        exif += QByteArray(6, '\0');
        QByteArray segment("\xff\xe1");
        segment += char((exif.size() + 2) >> 8);
        segment += char((exif.size() + 2) & 0xff);
        return bytes.insert(2, segment + exif);
    }
    // The frame header (SOF0) rewritten to claim 30000 x 30000 pixels.
    static QByteArray claimingHuge(QByteArray bytes)
    {
        const int sof = bytes.indexOf(QByteArray("\xff\xc0", 2));
        bytes[sof + 5] = char(30000 >> 8);
        bytes[sof + 6] = char(30000 & 0xff);
        bytes[sof + 7] = char(30000 >> 8);
        bytes[sof + 8] = char(30000 & 0xff);
        return bytes;
    }
    QString write(const QString &name, const QByteArray &bytes)
    {
        QFile file(m_dir->filePath(name));
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
        return file.fileName();
    }
    QString cache() const { return m_dir->filePath(QStringLiteral("cache")); }
    std::unique_ptr<QTemporaryDir> m_dir;

private Q_SLOTS:
    void init() { m_dir.reset(new QTemporaryDir); }
    void make_data();
    void make();
    void cacheFreshness();
    void requestAnswersOnOwnThread();
    void trimRemovesOldestFirst();
};

void TestXThumbnailer::make_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("maxSide");
    QTest::addColumn<int>("failure");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("greenOnTop");

    const QByteArray wide = jpeg(400, 200);
    QTest::newRow("scaled-to-longer-side") << "a.jpg" << wide << 100 << 0 << QSize(100, 50) << false;
    QTest::newRow("small-not-enlarged") << "b.jpg" << jpeg(40, 30) << 100 << 0 << QSize(40, 30) << false;
    // Orientation 6: the stored image is shown turned 90 degrees clockwise, left side on top.
    QTest::newRow("exif-orientation-6") << "c.jpg" << withOrientation(wide, 6) << 100 << 0 << QSize(50, 100) << true;
    QTest::newRow("exif-orientation-1") << "d.jpg" << withOrientation(wide, 1) << 100 << 0 << QSize(100, 50) << false;
    QTest::newRow("text-file") << "e.jpg" << QByteArray("not a photo\n") << 100 << 3 << QSize() << false;
    QTest::newRow("truncated") << "f.jpg" << wide.left(wide.size() / 3) << 100 << 0 << QSize(100, 50) << false;
    QTest::newRow("decompression-bomb") << "g.jpg" << claimingHuge(wide) << 100 << 4 << QSize() << false;
    QTest::newRow("size-zero") << "h.jpg" << wide << 0 << 1 << QSize() << false;
    QTest::newRow("size-too-big") << "i.jpg" << wide << XThumbnailer::MaxSide + 1 << 1 << QSize() << false;
    QTest::newRow("missing") << "" << QByteArray() << 100 << 2 << QSize() << false;
    QTest::newRow("folder") << "." << QByteArray() << 100 << 2 << QSize() << false;
    QTest::newRow("fifo") << "fifo" << QByteArray() << 100 << 2 << QSize() << false;
    QTest::newRow("file-url") << "url" << wide << 100 << 0 << QSize(100, 50) << false;
}

void TestXThumbnailer::make()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(int, maxSide);
    QFETCH(int, failure);
    QFETCH(QSize, size);
    QFETCH(bool, greenOnTop);

    QString source = m_dir->filePath(name.isEmpty() ? QStringLiteral("none.jpg") : name);
    if (name == QLatin1String("fifo"))
        QCOMPARE(mkfifo(QFile::encodeName(source).constData(), 0600), 0);
    else if (!bytes.isEmpty())
        source = write(name, bytes);
    if (name == QLatin1String("url"))
        source = QUrl::fromLocalFile(source).toString();

    const XThumbnailer::Result result = XThumbnailer::make(cache(), source, maxSide);
    QCOMPARE(int(result.failure), failure);
    if (failure) {
        QVERIFY(!result.error.isEmpty());
        QVERIFY(!QDir(cache()).exists() || QDir(cache()).isEmpty());
        return;
    }
    QVERIFY(result.file.startsWith(cache()));
    QImageReader reader(result.file);
    QCOMPARE(reader.format(), QByteArray("jpeg"));
    const QImage image = reader.read();
    QCOMPARE(image.size(), size);
    if (name == QLatin1String("f.jpg"))
        return;
    const QRgb corner = image.pixel(2, 2);
    QCOMPARE(qGreen(corner) > 200 && qRed(corner) < 60, true);
    const QRgb far = greenOnTop ? image.pixel(2, size.height() - 3) : image.pixel(size.width() - 3, 2);
    QCOMPARE(qRed(far) > 200 && qGreen(far) < 60, true);
}

void TestXThumbnailer::cacheFreshness()
{
    const QString source = write(QStringLiteral("p.jpg"), jpeg(400, 200));
    const XThumbnailer::Result first = XThumbnailer::make(cache(), source, 100);
    QVERIFY(!first.file.isEmpty());
    // A fresh entry is answered as it is, not made again.
    QFile mark(first.file);
    QVERIFY(mark.open(QIODevice::Append));
    mark.write("kept");
    mark.close();
    const qint64 marked = mark.size();
    QCOMPARE(XThumbnailer::make(cache(), source, 100).file, first.file);
    QCOMPARE(QFileInfo(first.file).size(), marked);
    // Another size, or a changed photo, is another entry.
    QVERIFY(XThumbnailer::make(cache(), source, 50).file != first.file);
    write(QStringLiteral("p.jpg"), jpeg(300, 300));
    QFile touched(source);
    QVERIFY(touched.open(QIODevice::ReadWrite));
    QVERIFY(touched.setFileTime(QDateTime::currentDateTime().addSecs(60), QFileDevice::FileModificationTime));
    touched.close();
    const XThumbnailer::Result changed = XThumbnailer::make(cache(), source, 100);
    QVERIFY(changed.file != first.file);
    QCOMPARE(QImage(changed.file).size(), QSize(100, 100));
}

void TestXThumbnailer::requestAnswersOnOwnThread()
{
    const QString source = write(QStringLiteral("q.jpg"), jpeg(400, 200));
    XThumbnailer thumbnailer(cache());
    QList<XThumbnailer::Result> answers;
    QList<QThread *> threads;
    QList<QString> paths{source, m_dir->filePath(QStringLiteral("none.jpg"))};
    // Asked in a loop without the answers being taken: the one over the limit is refused.
    for (int i = 2; i <= XThumbnailer::MaxWaiting; ++i)
        paths << m_dir->filePath(QStringLiteral("none.jpg"));
    for (const QString &path : paths) {
        thumbnailer.request(path, 64, [&answers, &threads](const XThumbnailer::Result &result) {
            answers << result;
            threads << QThread::currentThread();
        });
    }
    QTRY_COMPARE(answers.size(), paths.size());
    QCOMPARE(threads.count(QThread::currentThread()), threads.size());
    QMap<int, int> failures;
    for (const XThumbnailer::Result &answer : answers)
        ++failures[answer.failure];
    QCOMPARE(failures.value(XThumbnailer::NoFailure), 1);
    QCOMPARE(failures.value(XThumbnailer::Busy), 1);
    QCOMPARE(failures.value(XThumbnailer::NotAFile), XThumbnailer::MaxWaiting - 1);
}

void TestXThumbnailer::trimRemovesOldestFirst()
{
    QDir().mkpath(cache());
    const QDateTime now = QDateTime::currentDateTime();
    auto entry = [this, &now](const QString &name, int hoursAgo) {
        QFile file(QDir(cache()).filePath(name));
        file.open(QIODevice::WriteOnly);
        file.write(QByteArray(100, 'x'));
        file.flush();
        file.setFileTime(now.addSecs(-3600 * hoursAgo), QFileDevice::FileModificationTime);
        return file.fileName();
    };
    const QString oldest = entry(QString(40, QLatin1Char('a')) + ".jpg", 30);
    const QString older = entry(QString(40, QLatin1Char('b')) + ".jpg", 20);
    const QString old = entry(QString(40, QLatin1Char('c')) + ".jpg", 10);
    const QString fresh = entry(QString(40, QLatin1Char('d')) + ".jpg", 0);
    const QString foreign = entry(QStringLiteral("holiday.jpg"), 40);
    QCOMPARE(XThumbnailer::trim(cache(), 1000, 100), qint64(400));
    QCOMPARE(XThumbnailer::trim(cache(), 350, 200), qint64(200));
    QCOMPARE(QFileInfo::exists(oldest) || QFileInfo::exists(older), false);
    QVERIFY(QFileInfo::exists(old) && QFileInfo::exists(foreign));
    // What may be on show already is never removed, even when over the limit.
    QCOMPARE(XThumbnailer::trim(cache(), 50, 0), qint64(100));
    QVERIFY(QFileInfo::exists(fresh) && !QFileInfo::exists(old));
}

QTEST_GUILESS_MAIN(TestXThumbnailer)
#include "tst_xthumbnailer.moc"
