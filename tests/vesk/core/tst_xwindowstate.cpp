#include "core/xwindowstate.h"

#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

class TestXWindowState : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void parse_data();
    void parse();
    void placedOn_data();
    void placedOn();
    void saveAndLoad_data();
    void saveAndLoad();
};

void TestXWindowState::parse_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<bool>("maximized");

    const QRect none;
    QTest::newRow("normal") << QByteArray(R"({"x":10,"y":20,"width":800,"height":600,"maximized":false})") << true
                            << QRect(10, 20, 800, 600) << false;
    QTest::newRow("maximized") << QByteArray(R"({"x":-5,"y":0,"width":900,"height":700,"maximized":true})") << true
                               << QRect(-5, 0, 900, 700) << true;
    QTest::newRow("corrupt") << QByteArray(R"({"x":10,"y":20,"width":8)") << false << none << false;
    QTest::newRow("empty") << QByteArray() << false << none << false;
    QTest::newRow("array") << QByteArray("[10,20,800,600]") << false << none << false;
    QTest::newRow("width-text") << QByteArray(R"({"x":0,"y":0,"width":"800","height":600,"maximized":false})") << false
                                << none << false;
    QTest::newRow("maximized-number") << QByteArray(R"({"x":0,"y":0,"width":800,"height":600,"maximized":1})") << false
                                      << none << false;
    QTest::newRow("missing-y") << QByteArray(R"({"x":0,"width":800,"height":600,"maximized":false})") << false << none
                               << false;
    QTest::newRow("fraction") << QByteArray(R"({"x":0.5,"y":0,"width":800,"height":600,"maximized":false})") << false
                              << none << false;
    QTest::newRow("too-small") << QByteArray(R"({"x":0,"y":0,"width":1,"height":600,"maximized":false})") << false
                               << none << false;
    QTest::newRow("huge-side") << QByteArray(R"({"x":0,"y":0,"width":1e300,"height":600,"maximized":false})") << false
                               << none << false;
    QTest::newRow("far-away") << QByteArray(R"({"x":-2147483648,"y":0,"width":800,"height":600,"maximized":false})")
                              << false << none << false;
    QTest::newRow("deeply-nested") << QByteArray(20000, '[') << false << none << false;
}

void TestXWindowState::parse()
{
    QFETCH(QByteArray, json);
    QFETCH(bool, valid);
    QFETCH(QRect, geometry);
    QFETCH(bool, maximized);
    XWindowState state;
    QCOMPARE(state.parse(json), valid);
    QCOMPARE(state.isValid(), valid);
    QCOMPARE(state.geometry(), geometry);
    QCOMPARE(state.isMaximized(), maximized);
    if (valid) {
        // What is written reads back the same.
        XWindowState again;
        QVERIFY(again.parse(state.toJson()));
        QCOMPARE(again.geometry(), geometry);
        QCOMPARE(again.isMaximized(), maximized);
    }
}

void TestXWindowState::placedOn_data()
{
    QTest::addColumn<QRect>("saved");
    QTest::addColumn<QList<QRect>>("screens");
    QTest::addColumn<QRect>("placed");
    QTest::addColumn<bool>("positionKept");

    const QList<QRect> one {QRect(0, 0, 1920, 1040)};
    const QList<QRect> two {QRect(0, 0, 1920, 1040), QRect(1920, 0, 1280, 1024)};
    QTest::newRow("on-screen") << QRect(100, 50, 800, 600) << one << QRect(100, 50, 800, 600) << true;
    QTest::newRow("on-second-screen") << QRect(2000, 100, 800, 600) << two << QRect(2000, 100, 800, 600) << true;
    QTest::newRow("off-screen-centred") << QRect(5000, 5000, 800, 600) << one << QRect(560, 220, 800, 600) << false;
    QTest::newRow("screen-gone") << QRect(2000, 100, 800, 600) << one << QRect(560, 220, 800, 600) << false;
    QTest::newRow("only-a-sliver-visible") << QRect(1900, 100, 800, 600) << one << QRect(560, 220, 800, 600) << false;
    QTest::newRow("partly-off-moved-on") << QRect(1500, 700, 800, 600) << one << QRect(1120, 440, 800, 600) << true;
    QTest::newRow("above-the-top") << QRect(100, -300, 800, 600) << one << QRect(100, 0, 800, 600) << true;
    QTest::newRow("straddling-takes-larger") << QRect(1700, 100, 800, 600) << two << QRect(1920, 100, 800, 600) << true;
    QTest::newRow("larger-than-screen") << QRect(0, 0, 4000, 3000) << one << QRect(0, 0, 1920, 1040) << true;
    QTest::newRow("larger-and-off") << QRect(-9000, 0, 4000, 3000) << one << QRect(0, 0, 1920, 1040) << false;
    QTest::newRow("no-screens") << QRect(5000, 5000, 800, 600) << QList<QRect>() << QRect(5000, 5000, 800, 600) << true;
}

void TestXWindowState::placedOn()
{
    QFETCH(QRect, saved);
    QFETCH(QList<QRect>, screens);
    QFETCH(QRect, placed);
    QFETCH(bool, positionKept);
    bool kept = !positionKept;
    QCOMPARE(XWindowState(saved, false).placedOn(screens, &kept), placed);
    QCOMPARE(kept, positionKept);
}

void TestXWindowState::saveAndLoad_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("loads");

    QTest::newRow("saved-file") << "saved" << true;
    QTest::newRow("missing") << "missing" << false;
    QTest::newRow("huge-file") << "huge" << false;
    QTest::newRow("fifo") << "fifo" << false;
    QTest::newRow("folder") << "folder" << false;
}

void TestXWindowState::saveAndLoad()
{
    QFETCH(QString, kind);
    QFETCH(bool, loads);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // The folder does not exist yet: save makes it.
    const QString file = dir.path() + QStringLiteral("/data/app/window.json");
    const XWindowState saved(QRect(30, 40, 640, 480), true);
    if (kind == QLatin1String("saved")) {
        QVERIFY(saved.save(file));
    } else if (kind == QLatin1String("huge")) {
        QVERIFY(saved.save(file));
        QFile f(file);
        QVERIFY(f.open(QIODevice::Append));
        // Still valid JSON past the limit: only the size refuses it.
        QVERIFY(f.write(QByteArray(XWindowState::MaxFileSize, ' ')) == XWindowState::MaxFileSize);
    } else if (kind == QLatin1String("fifo")) {
        QVERIFY(QDir().mkpath(QFileInfo(file).absolutePath()));
        QCOMPARE(::mkfifo(QFile::encodeName(file).constData(), 0600), 0);
    } else if (kind == QLatin1String("folder")) {
        QVERIFY(QDir().mkpath(file));
    }
    XWindowState state(QRect(1, 2, 300, 300), false);
    QCOMPARE(state.load(file), loads);
    QCOMPARE(state.isValid(), loads);
    if (loads) {
        QCOMPARE(state.geometry(), saved.geometry());
        QVERIFY(state.isMaximized());
    }
    // A state that cannot be saved over a folder loses nothing.
    if (kind == QLatin1String("folder"))
        QVERIFY(!saved.save(file));
}

QTEST_APPLESS_MAIN(TestXWindowState)
#include "tst_xwindowstate.moc"
