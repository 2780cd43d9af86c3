#include "api/xjavascriptapi.h"
#include "core/xprocess.h"
#include "veskharness.h"
#include "window/xwebwindow.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QPointer>
#include <QWebFrame>
#include <QtTest>

#include <memory>
#include <signal.h>

// Programs run by a page, as the page sees them through its callbacks.
static const QByteArray kPage = "<html><body><script>"
                                "var out = [], finished = [], ends = [], errors = 0;"
                                "function onOut(s){ out.push(s); }"
                                "function onDone(s, code, crashed, dropped){"
                                "  finished.push(s); ends.push([code, crashed, dropped].join()); }"
                                "function onFail(){ errors++; }"
                                "</script></body></html>";

class TestProcesses : public QObject {
    Q_OBJECT

private:
    QVariant eval(const QString &script) { return VeskHarness::eval(m_window->mainFrame(), script); }
    void writeScript(const QString &name, const QByteArray &body)
    {
        QFile f(m_harness->path() + QLatin1Char('/') + name);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(body);
    }
    std::unique_ptr<VeskHarness> m_harness;
    std::unique_ptr<XWebWindow> m_window;

private Q_SLOTS:
    void init()
    {
        m_harness.reset(new VeskHarness);
        m_harness->writePage(QStringLiteral("init.html"), kPage);
        m_window.reset(m_harness->openWindow(QStringLiteral("/init.html")));
    }
    void cleanup()
    {
        m_window.reset();
        m_harness.reset();
    }
    void outputArrivesExactly_data();
    void outputArrivesExactly();
    void arrayCommands_data();
    void arrayCommands();
    void idsAndFailures();
    void programReadingInputEnds();
    void killExecAndWindowClose();
    void wsystemWaits();
};

void TestProcesses::outputArrivesExactly_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("streamed");
    QTest::addColumn<QString>("end"); // exit code, crashed, bytes dropped
    // Each script runs under sh; the page must receive its output as written, CR as a blank.
    const QByteArray hostile = "printf '%s\\r\\n' \"it's \\\\' C:\\\\new \\\"q\\\" </script> ');injected=1;//\"\n";
    const QString hostileText = QStringLiteral("it's \\' C:\\new \"q\" </script> ');injected=1;// \n");
    const QString clean = QStringLiteral("0,false,0");
    QTest::newRow("quotes-backslashes-crlf") << hostile << hostileText << false << clean;
    QTest::newRow("quotes-backslashes-crlf-streamed") << hostile << hostileText << true << clean;
    QTest::newRow("multibyte-split-across-reads")
        << QByteArray("printf '\\304'; sleep 0.3; printf '\\215\\346\\227'; sleep 0.3; printf '\\245\\n'\n")
        << QStringLiteral("\u010d\u65e5\n") << true << clean;
    QTest::newRow("stderr-merged") << QByteArray("echo err >&2\n") << QStringLiteral("err\n") << false << clean;
    QTest::newRow("zero-byte-cuts") << QByteArray("printf 'ab\\000cd'\n") << QStringLiteral("ab") << false << clean;
    QTest::newRow("exit-code") << QByteArray("echo out; exit 3\n") << QStringLiteral("out\n") << false
                               << QStringLiteral("3,false,0");
    QTest::newRow("false") << QByteArray("false\n") << QString() << true << QStringLiteral("1,false,0");
    QTest::newRow("crash") << QByteArray("kill -SEGV $$\n") << QString() << false << QStringLiteral("11,true,0");
    // 300 MiB, 44 MiB over the ceiling; zero bytes, so the page text stays empty.
    QTest::newRow("output-over-the-ceiling") << QByteArray("head -c 314572800 /dev/zero\n") << QString() << false
                                             << QStringLiteral("0,false,46137344");
}

void TestProcesses::outputArrivesExactly()
{
    QFETCH(QByteArray, script);
    QFETCH(QString, expected);
    QFETCH(bool, streamed);
    QFETCH(QString, end);
    writeScript(QStringLiteral("run.sh"), script);
    eval(QStringLiteral("window.injected = 0;"));
    eval(streamed ? QStringLiteral("app._exec('sh run.sh', 'onDone', 'onOut')")
                  : QStringLiteral("app._exec('sh run.sh', 'onDone')"));
    // Blocking on the event loop, not polling: large output arrives in thousands of pieces.
    QDeadlineTimer deadline(20000);
    while (eval(QStringLiteral("finished.length")).toInt() < 1 && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    QCOMPARE(eval(QStringLiteral("finished.length")).toInt(), 1);
    QCOMPARE(eval(QStringLiteral("out.join('') + finished[0]")).toString(), expected);
    QCOMPARE(eval(QStringLiteral("ends[0]")).toString(), end);
    QCOMPARE(eval(QStringLiteral("window.injected")).toInt(), 0);
    if (script.contains("sleep"))
        QVERIFY(eval(QStringLiteral("out.length")).toInt() >= 2);
}

void TestProcesses::arrayCommands_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("starts");
    QTest::addColumn<QString>("output");
    QTest::addColumn<int>("errors");
    QTest::newRow("quotes-and-blanks-as-given")
        << R"(app._exec(['printf', '[%s]', 'a "b"', ' c ', "d'e", '', '$HOME', '*'], 'onDone', '', 'onFail'))" << true
        << R"([a "b"][ c ][d'e][][$HOME][*])" << 0;
    QTest::newRow("oem-reads-bytes") << R"(app.execOEMCP(['printf', '%s', '\u00e9'], 'onDone', '', 'onFail'))" << true
                                     << QStringLiteral("\u00c3\u00a9") << 0;
    QTest::newRow("missing-program") << "app._exec(['no-such-program-xyz', 'a'], 'onDone', '', 'onFail')" << true
                                     << QString() << 1;
    QTest::newRow("empty-array") << "app._exec([], 'onDone', '', 'onFail')" << false << QString() << 0;
    QTest::newRow("empty-program") << "app._exec(['', 'x'], 'onDone', '', 'onFail')" << false << QString() << 0;
    QTest::newRow("number-element") << "app._exec(['echo', 1], 'onDone', '', 'onFail')" << false << QString() << 0;
    QTest::newRow("null-element") << "app._exec(['echo', null], 'onDone', '', 'onFail')" << false << QString() << 0;
    QTest::newRow("nested-array") << "app._exec(['echo', ['a']], 'onDone', '', 'onFail')" << false << QString()
                                  << 0;
    QTest::newRow("nul-in-argument") << R"(app.execOEMCP(['echo', 'a\u0000b'], 'onDone', '', 'onFail'))" << false
                                     << QString() << 0;
}

void TestProcesses::arrayCommands()
{
    QFETCH(QString, command);
    QFETCH(bool, starts);
    QFETCH(QString, output);
    QFETCH(int, errors);
    const int id = eval(command).toInt();
    if (!starts) {
        // Refused at once: no id used, nothing started, nothing called.
        QCOMPARE(id, 0);
        QCOMPARE(eval(QStringLiteral("app._exec('true')")).toInt(), 1);
        QTest::qWait(100);
        QCOMPARE(eval(QStringLiteral("finished.length + errors")).toInt(), 0);
        return;
    }
    QCOMPARE(id, 1);
    // A program that never started reports only its error.
    QTRY_COMPARE(eval(QStringLiteral("finished.length + errors")).toInt(), 1);
    QCOMPARE(eval(QStringLiteral("errors")).toInt(), errors);
    if (!errors)
        QCOMPARE(eval(QStringLiteral("finished[0]")).toString(), output);
}

void TestProcesses::idsAndFailures()
{
    QCOMPARE(eval(QStringLiteral("app._exec('no-such-program-xyz', 'onDone', 'onOut', 'onFail')")).toInt(), 1);
    QTRY_COMPARE(eval(QStringLiteral("errors")).toInt(), 1);
    // An object gives an empty command, which cannot start either; execOEMCP shares the counter.
    QCOMPARE(eval(QStringLiteral("app.execOEMCP({a: 'ls'}, '', '', 'onFail')")).toInt(), 2);
    QTRY_COMPARE(eval(QStringLiteral("errors")).toInt(), 2);
    QCOMPARE(eval(QStringLiteral("app._exec('true')")).toInt(), 3);
    QCOMPARE(eval(QStringLiteral("finished.length")).toInt(), 0);
    // Latin-1 command text: the bytes of "é" become two characters, so the file name differs.
    eval(QStringLiteral("app.execOEMCP('touch \\u00e9', 'onDone')"));
    QTRY_COMPARE(eval(QStringLiteral("finished.length")).toInt(), 1);
    QVERIFY(QFile::exists(m_harness->path() + QStringLiteral("/\u00c3\u00a9")));

    // Ended programs are freed once reported; their ids stay used and answer as unknown ones.
    QTRY_COMPARE(XJavaScriptAPI::of(m_window.get())->findChildren<XProcess *>().size(), 0);
    eval(QStringLiteral("app.killExec(1); app.killExec(3);"));
    QCOMPARE(eval(QStringLiteral("app._exec('true')")).toInt(), 5);
}

void TestProcesses::programReadingInputEnds()
{
    eval(QStringLiteral("app._exec('cat', 'onDone')"));
    QTRY_COMPARE(eval(QStringLiteral("finished.length")).toInt(), 1);
    QCOMPARE(eval(QStringLiteral("finished[0]")).toString(), QString());
}

void TestProcesses::killExecAndWindowClose()
{
    const int id = eval(QStringLiteral("app._exec('sleep 30', 'onDone')")).toInt();
    eval(QStringLiteral("app.killExec(%1); app.killExec(999);").arg(id));
    QTRY_COMPARE(eval(QStringLiteral("finished.length")).toInt(), 1);

    // Closing a window kills what its page started, and nothing calls back into the page.
    std::unique_ptr<XWebWindow> second(m_harness->openWindow(QStringLiteral("/init.html")));
    VeskHarness::eval(second->mainFrame(), QStringLiteral("app._exec('sleep 30', 'onDone', 'onOut', 'onFail')"));
    const auto processes = XJavaScriptAPI::of(second.get())->findChildren<XProcess *>();
    QCOMPARE(processes.size(), 1);
    QTRY_COMPARE(processes.first()->state(), QProcess::Running);
    const qint64 pid = processes.first()->processId();
    second.reset();
    QCOMPARE(::kill(pid_t(pid), 0), -1);
}

void TestProcesses::wsystemWaits()
{
    QCOMPARE(eval(QStringLiteral("app.wsystem('sleep 0.2; echo \"a b\" > shell.txt; exit 3')")).toInt(), 0);
    QFile f(m_harness->path() + QStringLiteral("/shell.txt"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("a b\n"));
    eval(QStringLiteral("app.system('touch \"detached file\"')"));
    QTRY_VERIFY(QFile::exists(m_harness->path() + QStringLiteral("/detached file")));
}

QTEST_MAIN(TestProcesses)
#include "tst_processes.moc"
