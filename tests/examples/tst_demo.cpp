#include "veskharness.h"
#include "xwebwindow.h"

#include <QDir>
#include <QFile>
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

    eval(QStringLiteral("document.getElementById('tricky').value = \"it's \\\\n </script> \\u2028\"; roundTrip();"));
    QCOMPARE(eval(QStringLiteral("document.getElementById('exact').textContent")).toString(),
             QString::fromUtf16(u"it's \\n </script> \u2028\n[1,[true,null]]\n{\"a\":\"it's\",\"b\":1}"));

    eval(QStringLiteral("document.getElementById('title').value = 'Demo title'; setTitle();"));
    QCOMPARE(w->windowTitle(), QStringLiteral("Demo title"));

    eval(QStringLiteral("openSecond()"));
    QTRY_VERIFY(eval(QStringLiteral("sendToSecond(); document.getElementById('secondAnswer').textContent"))
                    .toString()
                    .contains(QStringLiteral("so far")));

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

    // "Ask before closing" unticked: the page lets its window go.
    eval(QStringLiteral("document.getElementById('askClose').checked = false;"));
    QVERIFY(w->close());
}

QTEST_MAIN(TestDemo)
#include "tst_demo.moc"
