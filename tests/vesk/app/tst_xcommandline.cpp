#include "app/xcommandline.h"

#include <QDir>
#include <QtTest>

class TestXCommandLine : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void parse_data();
    void parse();
    void passedArguments_data();
    void passedArguments();
};

void TestXCommandLine::parse_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("workdir");
    QTest::addColumn<bool>("inspector");
    QTest::addColumn<QString>("screenshot");
    QTest::addColumn<QStringList>("origins");
    QTest::addColumn<bool>("watch");

    const QString cwd = QDir::currentPath();
    QTest::newRow("nothing") << QStringList {"vesk"} << true << "" << false << "" << QStringList {} << false;
    QTest::newRow("everything") << QStringList {"vesk",           "--workdir",
                                                "/tmp/w",         "--inspector",
                                                "--screenshot",   "s.png",
                                                "--trust-origin", "https://a.example",
                                                "--trust-origin", "http://127.0.0.1:9000"}
                                << true << "/tmp/w" << true << cwd + "/s.png"
                                << QStringList {"https://a.example", "http://127.0.0.1:9000"} << false;
    QTest::newRow("absolute-screenshot") << QStringList {"vesk", "--screenshot=/tmp/x.png"} << true << "" << false
                                         << "/tmp/x.png" << QStringList {} << false;
    QTest::newRow("watch-on") << QStringList {"vesk", "--watch"} << true << "" << false << "" << QStringList {} << true;
    QTest::newRow("unknown-option") << QStringList {"vesk", "--bogus"} << false << "" << false << "" << QStringList {}
                                    << false;
    QTest::newRow("missing-value") << QStringList {"vesk", "--workdir"} << false << "" << false << "" << QStringList {}
                                   << false;
    QTest::newRow("stray-argument") << QStringList {"vesk", "extra"} << false << "" << false << "" << QStringList {}
                                    << false;
    QTest::newRow("screenshot-in-missing-folder") << QStringList {"vesk", "--screenshot", "/nonexistent/dir/s.png"}
                                                  << false << "" << false << "" << QStringList {} << false;
    QTest::newRow("screenshot-is-a-folder") << QStringList {"vesk", "--screenshot", QDir::tempPath()} << false << ""
                                            << false << "" << QStringList {} << false;
    QTest::newRow("screenshot-trailing-slash") << QStringList {"vesk", "--screenshot", "/nonexistent.png/"} << false
                                               << "" << false << "" << QStringList {} << false;
    QTest::newRow("screenshot-is-a-device") << QStringList {"vesk", "--screenshot", "/dev/null"} << false << ""
                                            << false << "" << QStringList {} << false;
    QTest::newRow("screenshot-wait-alone") << QStringList {"vesk", "--screenshot-wait"} << false << "" << false << ""
                                           << QStringList {} << false;
    QTest::newRow("stray-argument-before-dashes") << QStringList {"vesk", "extra", "--", "x"} << false << "" << false
                                                  << "" << QStringList {} << false;
    QTest::newRow("origin-without-host") << QStringList {"vesk", "--trust-origin", "example"} << false << "" << false
                                         << "" << QStringList {} << false;
}

void TestXCommandLine::parse()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, ok);
    XCommandLine line;
    QCOMPARE(line.parse(arguments), ok);
    if (!ok) {
        QVERIFY(!line.errorText().isEmpty());
        return;
    }
    QTEST(line.workdir(), "workdir");
    QTEST(line.inspector(), "inspector");
    QTEST(line.screenshot(), "screenshot");
    QTEST(line.trustedOrigins(), "origins");
    QTEST(line.watch(), "watch");
}

void TestXCommandLine::passedArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("passed");
    QTest::addColumn<bool>("watch");
    QTest::newRow("none") << QStringList {"vesk", "--watch"} << QStringList {} << true;
    QTest::newRow("empty-after-dashes") << QStringList {"vesk", "--"} << QStringList {} << false;
    // vesk's own options after "--" belong to the application.
    QTest::newRow("options-after-dashes-are-passed")
        << QStringList {"vesk", "--watch", "--", "--help", "a b", "--", ""}
        << QStringList {"--help", "a b", "--", ""} << true;
}

void TestXCommandLine::passedArguments()
{
    QFETCH(QStringList, arguments);
    XCommandLine line;
    QVERIFY2(line.parse(arguments), qPrintable(line.errorText()));
    QVERIFY(!line.helpRequested());
    QTEST(line.passedArguments(), "passed");
    QTEST(line.watch(), "watch");
}

QTEST_GUILESS_MAIN(TestXCommandLine)
#include "tst_xcommandline.moc"
