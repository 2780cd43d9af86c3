#include "core/xmanifest.h"

#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

class TestXManifest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void parse_data();
    void parse();
    void load_data();
    void load();
};

void TestXManifest::parse_data()
{
    QTest::addColumn<QByteArray>("json");
    // id|name|version|icon|title|WxH, empty fields for "not given", then
    // "|remember" when the window is remembered and "|single" for one instance
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("problems");

    QTest::newRow("complete") << QByteArray(R"({"id": "photo-sorter", "name": "Photo Sorter", "version": "1.2.0~rc1",
        "icon": "img/icon.svg", "window": {"title": "Sorter", "width": 900, "height": 600}})")
                              << "photo-sorter|Photo Sorter|1.2.0~rc1|img/icon.svg|Sorter|900x600" << 0;
    QTest::newRow("empty-object") << QByteArray("{}") << "|||||" << 0;
    QTest::newRow("unknown-keys-ignored") << QByteArray(R"({"id": "ab", "colour": [1, 2], "window": {"x": 1}})")
                                          << "ab|||||" << 0;
    QTest::newRow("duplicate-key-last-wins") << QByteArray(R"({"id": "first", "id": "second"})") << "second|||||" << 0;
    QTest::newRow("not-json") << QByteArray("id = notes") << "|||||" << 1;
    QTest::newRow("truncated") << QByteArray(R"({"id": "notes", "name": "No)") << "|||||" << 1;
    QTest::newRow("empty-file") << QByteArray() << "|||||" << 1;
    QTest::newRow("array") << QByteArray(R"([{"id": "notes"}])") << "|||||" << 1;
    QTest::newRow("string") << QByteArray(R"("notes")") << "|||||" << 1;
    QTest::newRow("null") << QByteArray("null") << "|||||" << 1;
    QTest::newRow("deeply-nested") << QByteArray(20000, '[') << "|||||" << 1;
    QTest::newRow("id-number") << QByteArray(R"({"id": 42, "name": "Kept"})") << "|Kept||||" << 1;
    QTest::newRow("id-slash") << QByteArray(R"({"id": "../etc/passwd"})") << "|||||" << 1;
    QTest::newRow("id-dotdot") << QByteArray(R"({"id": "a..b"})") << "|||||" << 1;
    QTest::newRow("id-upper") << QByteArray(R"({"id": "Notes"})") << "|||||" << 1;
    QTest::newRow("id-space") << QByteArray(R"({"id": "my notes"})") << "|||||" << 1;
    QTest::newRow("id-leading-dash") << QByteArray(R"({"id": "-rf"})") << "|||||" << 1;
    QTest::newRow("id-leading-dot") << QByteArray(R"({"id": ".hidden"})") << "|||||" << 1;
    QTest::newRow("id-one-char") << QByteArray(R"({"id": "a"})") << "|||||" << 1;
    QTest::newRow("id-too-long") << QByteArray("{\"id\": \"" + QByteArray(65, 'a') + "\"}") << "|||||" << 1;
    QTest::newRow("id-64-chars") << QByteArray("{\"id\": \"" + QByteArray(64, 'a') + "\"}")
                                 << QString(64, QLatin1Char('a')) + "|||||" << 0;
    QTest::newRow("id-nul") << QByteArray(R"({"id": "ab\u0000cd"})") << "|||||" << 1;
    QTest::newRow("id-non-ascii") << QByteArray(R"({"id": "zápisky"})") << "|||||" << 1;
    QTest::newRow("name-non-ascii") << QByteArray(R"({"name": "Zápisky \"ů\""})") << "|Zápisky \"ů\"||||" << 0;
    QTest::newRow("name-newline") << QByteArray(R"({"name": "A\nExec=rm"})") << "|||||" << 1;
    QTest::newRow("name-line-separator") << QByteArray(R"({"name": "A\u2028B"})") << "|||||" << 1;
    QTest::newRow("name-blank") << QByteArray(R"({"name": "   "})") << "|||||" << 1;
    QTest::newRow("name-object") << QByteArray(R"({"name": {"en": "x"}})") << "|||||" << 1;
    QTest::newRow("name-huge") << QByteArray("{\"name\": \"" + QByteArray(1 << 20, 'n') + "\"}") << "|||||" << 1;
    QTest::newRow("version-letter-first") << QByteArray(R"({"version": "v1"})") << "|||||" << 1;
    QTest::newRow("version-space") << QByteArray(R"({"version": "1 0"})") << "|||||" << 1;
    QTest::newRow("version-number") << QByteArray(R"({"version": 1.5})") << "|||||" << 1;
    QTest::newRow("icon-absolute") << QByteArray(R"({"icon": "/etc/shadow"})") << "|||||" << 1;
    QTest::newRow("icon-climbs-out") << QByteArray(R"({"icon": "img/../../x.png"})") << "|||||" << 1;
    QTest::newRow("icon-backslash") << QByteArray(R"({"icon": "img\\x.png"})") << "|||||" << 1;
    QTest::newRow("icon-folder") << QByteArray(R"({"icon": "img/"})") << "|||||" << 1;
    QTest::newRow("window-not-object") << QByteArray(R"({"id": "ab", "window": "big"})") << "ab|||||" << 1;
    QTest::newRow("window-size-text") << QByteArray(R"({"window": {"title": "T", "width": "900", "height": 600}})")
                                      << "||||T|" << 1;
    QTest::newRow("window-width-only") << QByteArray(R"({"window": {"width": 900}})") << "|||||" << 1;
    QTest::newRow("window-fraction") << QByteArray(R"({"window": {"width": 900.5, "height": 600}})") << "|||||"
                                     << 1;
    QTest::newRow("window-too-small") << QByteArray(R"({"window": {"width": 0, "height": -5}})") << "|||||" << 1;
    QTest::newRow("window-huge") << QByteArray(R"({"window": {"width": 1e300, "height": 600}})") << "|||||" << 1;
    QTest::newRow("window-title-array") << QByteArray(R"({"window": {"title": ["T"]}})") << "|||||" << 1;
    QTest::newRow("single-instance") << QByteArray(R"({"singleInstance": true, "rememberWindow": true})")
                                     << "|||||" "|remember|single" << 0;
    QTest::newRow("single-instance-text") << QByteArray(R"({"id": "ab", "singleInstance": "yes"})") << "ab|||||" << 1;
    QTest::newRow("remember-window") << QByteArray(R"({"rememberWindow": true})") << "|||||" "|remember" << 0;
    QTest::newRow("remember-window-false") << QByteArray(R"({"rememberWindow": false})") << "|||||" << 0;
    QTest::newRow("remember-window-text") << QByteArray(R"({"rememberWindow": "true"})") << "|||||" << 1;
    QTest::newRow("remember-window-number") << QByteArray(R"({"id": "ab", "rememberWindow": 1})") << "ab|||||" << 1;
    QTest::newRow("several-bad-keys") << QByteArray(R"({"id": 1, "name": 2, "version": 3, "icon": 4})") << "|||||"
                                      << 4;
}

void TestXManifest::parse()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, expected);
    QFETCH(int, problems);
    XManifest manifest;
    manifest.parse(json);
    const QSize size = manifest.windowSize();
    const QString got = QStringList {manifest.id(), manifest.name(), manifest.version(), manifest.icon(),
                                     manifest.windowTitle(),
                                     size.isValid() ? QStringLiteral("%1x%2").arg(size.width()).arg(size.height())
                                                    : QString()}
                            .join(QLatin1Char('|'))
                        + (manifest.rememberWindow() ? QStringLiteral("|remember") : QString())
                        + (manifest.singleInstance() ? QStringLiteral("|single") : QString());
    QCOMPARE(got, expected);
    QVERIFY2(manifest.problems().size() == problems, qPrintable(manifest.problems().join(QLatin1Char('\n'))));
}

void TestXManifest::load_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("id");
    QTest::addColumn<int>("problems");
    QTest::newRow("missing-file") << "missing" << "" << 0;
    QTest::newRow("regular-file") << "file" << "notes" << 0;
    QTest::newRow("link-to-file") << "link" << "notes" << 0;
    QTest::newRow("dangling-link") << "dangling" << "" << 1;
    QTest::newRow("folder") << "folder" << "" << 1;
    QTest::newRow("fifo-without-writer") << "fifo" << "" << 1;
    QTest::newRow("over-the-limit") << "huge" << "" << 1;
}

void TestXManifest::load()
{
    QFETCH(QString, kind);
    QFETCH(QString, id);
    QFETCH(int, problems);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("vesk.json"));
    const QString real = dir.filePath(QStringLiteral("real.json"));
    QFile f(real);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(R"({"id": "notes"})");
    if (kind == QLatin1String("huge"))
        f.write(QByteArray(XManifest::MaxFileSize, ' '));
    f.close();
    if (kind == QLatin1String("file") || kind == QLatin1String("huge"))
        QVERIFY(QFile::rename(real, path));
    else if (kind == QLatin1String("link"))
        QVERIFY(QFile::link(real, path));
    else if (kind == QLatin1String("dangling"))
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("gone.json")), path));
    else if (kind == QLatin1String("folder"))
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("vesk.json")));
    else if (kind == QLatin1String("fifo"))
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    XManifest manifest;
    manifest.load(path);
    QCOMPARE(manifest.id(), id);
    QVERIFY2(manifest.problems().size() == problems, qPrintable(manifest.problems().join(QLatin1Char('\n'))));
    if (problems)
        QVERIFY(manifest.problems().first().contains(path));
}

QTEST_GUILESS_MAIN(TestXManifest)
#include "tst_xmanifest.moc"
