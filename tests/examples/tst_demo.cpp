#include "pyftpserver.h"
#include "veskharness.h"
#include "web/xwebview.h"
#include "window/xwebwindow.h"

#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QWebFrame>
#include <QtTest>

#include <memory>

// The demo is the first thing a user sees: its buttons must do what they say.
class TestDemo : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void demoWorks();
};

void TestDemo::demoWorks()
{
    VeskHarness h;
    // The demo writes a registry value: keep it out of the user's configuration.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    const QDir source(QStringLiteral(DEMO_SOURCE_DIR "/app"));
    const QStringList files = source.entryList(QDir::Files);
    QVERIFY(files.contains(QStringLiteral("init.html")));
    for (const QString &name : files) {
        QFile f(source.filePath(name));
        QVERIFY(f.open(QIODevice::ReadOnly));
        h.writePage(name, f.readAll());
    }
    std::unique_ptr<XWebWindow> w(h.openWindow(QStringLiteral("/init.html")));
    QWebFrame *frame = w->mainFrame();
    auto eval = [frame](const QString &s) { return VeskHarness::eval(frame, s); };

    QVERIFY(eval(QStringLiteral("document.getElementById('log').textContent"))
                .toString()
                .contains(QStringLiteral("vesk is ready")));

    QVERIFY(w->menuAction(QStringLiteral("demoCount")));
    QVERIFY(eval(QStringLiteral("document.getElementById('visits').textContent"))
                .toString()
                .contains(QStringLiteral("1 times (registry)")));
    QVERIFY(eval(QStringLiteral("document.getElementById('aidsEnv').textContent")).toString().contains(
        QStringLiteral("getArguments(): []")));
    // The harness opens no settings file: the defaults come back each time.
    eval(QStringLiteral("aidsSettings()"));
    QVERIFY(eval(QStringLiteral("document.getElementById('aidsPrefs').textContent")).toString().contains(
        QStringLiteral("{\"runs\":1,\"compact\":true}")));
    eval(QStringLiteral("aidsBadSql()"));
    QTRY_VERIFY(eval(QStringLiteral("document.getElementById('log').textContent")).toString().contains(
        QStringLiteral("SQL rejected: near \"SELEC\"")));
    eval(QStringLiteral("aidsTransaction()"));
    QTRY_VERIFY(eval(QStringLiteral("document.getElementById('log').textContent")).toString().contains(
        QStringLiteral("rows kept: 0")));
    eval(QStringLiteral("storageAddNote()"));
    QCOMPARE(eval(QStringLiteral("document.getElementById('notes').textContent")).toString().left(41),
             QStringLiteral("1: it's \"quoted\"'); DROP TABLE note; -- ("));

    eval(QStringLiteral("document.getElementById('tricky').value = \"it's \\\\n </script> \\u2028\"; roundTrip();"));
    QCOMPARE(eval(QStringLiteral("document.getElementById('exact').textContent")).toString(),
             QString::fromUtf16(u"it's \\n </script> \u2028\n[1,[true,null]]\n{\"a\":\"it's\",\"b\":1}"));

    eval(QStringLiteral("document.getElementById('title').value = 'Demo title'; setTitle();"));
    QCOMPARE(w->windowTitle(), QStringLiteral("Demo title"));

    // Files dropped on the window are listed as paths.
    QVERIFY2(w->view()->hasFileDropHandler(), qPrintable(eval(QStringLiteral("typeof vesk.onFilesDropped")).toString()));
    QMimeData dropped;
    dropped.setUrls({QUrl::fromLocalFile(h.path() + QStringLiteral("/dropped it's.txt"))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w->view(), &enter);
    QDropEvent drop(QPoint(10, 10), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w->view(), &drop);
    QVERIFY2(eval(QStringLiteral("document.getElementById('dropList').textContent"))
                 .toString()
                 .contains(h.path() + QStringLiteral("/dropped it's.txt")),
             qPrintable(eval(QStringLiteral("document.getElementById('dropInfo').textContent + '|' + location.href + '|' "
                                            "+ document.elementFromPoint(10, 10).tagName")).toString()));
    // Unticked, the drops are the engine's again and the callback is released.
    eval(QStringLiteral("document.getElementById('dropOn').checked = false; dropToggle();"));
    QVERIFY(!w->view()->hasFileDropHandler());

    eval(QStringLiteral("openSecond()"));
    QTRY_VERIFY(eval(QStringLiteral("sendToSecond(); document.getElementById('secondAnswer').textContent"))
                    .toString()
                    .contains(QStringLiteral("so far")));

    // FTP panel against a local pyftpdlib: connect, list, open a folder, download a file.
    QTemporaryDir home;
    QDir(home.path()).mkpath(QStringLiteral("photos"));
    QFile sample(home.path() + QStringLiteral("/photos/it's.txt"));
    QVERIFY(sample.open(QIODevice::WriteOnly) && sample.write("sample") == 6);
    sample.close();
    PyFtpServer server;
    QVERIFY2(server.start(home.path()), qPrintable(server.error()));
    const QByteArray port = QByteArray::number(server.port());
    eval(QStringLiteral("ftpField('Port').value = %1; ftpConnect();").arg(QString::fromLatin1(port)));
    QTRY_VERIFY_WITH_TIMEOUT(eval(QStringLiteral("ftpField('List').textContent")).toString().contains("photos"), 10000);
    eval(QStringLiteral("ftpCd('photos');"));
    QTRY_VERIFY_WITH_TIMEOUT(eval(QStringLiteral("ftpField('List').textContent")).toString().contains("it's.txt"),
                             10000);
    eval(QStringLiteral("ftpDownload(\"it's.txt\");"));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(h.path() + QStringLiteral("/it's.txt")), 10000);
    QTRY_COMPARE(eval(QStringLiteral("ftpField('Bytes').textContent")).toString(), QStringLiteral("6 of 6 bytes"));
    if (qEnvironmentVariableIsSet("DEMO_SHOT")) {
        w->resize(1100, 700);
        eval(QStringLiteral("ftpField('Status').scrollIntoView()"));
        w->grab().save(qEnvironmentVariable("DEMO_SHOT"));
    }
    // Files and processes: the listing shows the demo's own files, a file round-trips, a program streams in.
    QVERIFY(eval(QStringLiteral("document.getElementById('filesListing').textContent"))
                .toString()
                .contains(QStringLiteral("files.js")));
    eval(QStringLiteral("document.getElementById('filesLine').value = 'it\\'s'; filesWriteRead();"));
    QVERIFY(eval(QStringLiteral("document.getElementById('filesText').textContent"))
                .toString()
                .contains(QStringLiteral("\nit's\nwritten ")));
    eval(QStringLiteral("document.getElementById('filesCommand').value = 'echo \"a \\\\ b\"'; filesRun();"));
    QTRY_COMPARE(eval(QStringLiteral("document.getElementById('filesOut').textContent")).toString(),
                 QStringLiteral("a \\ b\n"));

    // The download panel runs on vesk.js: its promise reports the saved file.
    eval(QStringLiteral("startDownload()"));
    QTRY_VERIFY(eval(QStringLiteral("document.getElementById('dlInfo').textContent"))
                    .toString()
                    .endsWith(QStringLiteral(": saved as downloaded.bin")));
    QTRY_COMPARE(eval(QStringLiteral("vesk.liveCallbacks().length")).toInt(), 0);

    // "Ask before closing" unticked: the page lets its window go.
    eval(QStringLiteral("document.getElementById('askClose').checked = false;"));
    QVERIFY(w->close());
}

QTEST_MAIN(TestDemo)
#include "tst_demo.moc"
