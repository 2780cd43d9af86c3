#include "loopbackhttpserver.h"
#include "page/xpagebinding.h"
#include "veskharness.h"
#include "web/xwebview.h"
#include "window/xwebwindow.h"

#include <QApplication>
#include <QMimeData>
#include <QWebElement>
#include <QWebFrame>
#include <QtTest>

#include <memory>

class TestFileDrop : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void drop_data();
    void drop();
};

namespace {

// The same document wherever it comes from: `gotPaths` would record a callback in `got`, the
// listeners what the engine's own drop handling delivered to the page.
const QByteArray page = R"(<html><body style="margin:0">
<input type="file" id="f" style="position:absolute;left:300px;top:10px;width:200px;height:30px">
<div style="position:absolute;left:0;top:100px;width:400px;height:300px">drop here</div>
<script>
window.got = null;
window.engineSaw = 0;
function gotPaths(paths) { window.got = paths; }
function notForInput(e) { if (!(e.target && e.target.type === 'file')) e.preventDefault(); }
document.addEventListener('dragover', notForInput);
document.addEventListener('drop', function (e) {
  notForInput(e);
  if (e.target.type !== 'file') window.engineSaw = e.dataTransfer.files.length;
});
</script></body></html>)";

bool sendDrop(QWidget *view, const QPoint &at, QMimeData *data)
{
    QDragEnterEvent enter(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view, &enter);
    QDragMoveEvent move(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view, &move);
    QDropEvent drop(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view, &drop);
    return drop.isAccepted();
}

} // namespace

void TestFileDrop::drop_data()
{
    QTest::addColumn<QString>("document");
    // The callback name the first, trusted document registers; empty: none.
    QTest::addColumn<QString>("registered");
    QTest::addColumn<bool>("ontoInput");
    QTest::addColumn<bool>("callbackGetsPaths");
    // Files the page's own drop listener saw, or the file input now holds.
    QTest::addColumn<int>("engineFiles");
    // Past the cap: 10,001 paths dropped.
    QTest::addColumn<bool>("many");

    QTest::newRow("trusted-registered") << "trusted"
                                        << "gotPaths" << false << true << 0 << false;
    QTest::newRow("trusted-not-registered") << "trusted"
                                            << "" << false << false << 2 << false;
    QTest::newRow("trusted-unregistered-again") << "trusted"
                                                << "-" << false << false << 2 << false;
    QTest::newRow("onto-file-input") << "trusted"
                                     << "gotPaths" << true << false << 1 << false;
    QTest::newRow("onto-file-input-not-registered") << "trusted"
                                                    << "" << true << false << 1 << false;
    QTest::newRow("remote-document") << "remote"
                                     << "gotPaths" << false << false << 2 << false;
    QTest::newRow("more-than-the-cap") << "trusted"
                                       << "gotPaths" << false << true << 0 << true;
    QTest::newRow("trusted-reloaded") << "reloaded"
                                      << "gotPaths" << false << false << 2 << false;
    QTest::newRow("file-outside-app") << "outside"
                                      << "gotPaths" << false << false << 2 << false;
}

void TestFileDrop::drop()
{
    QFETCH(QString, document);
    QFETCH(QString, registered);
    QFETCH(bool, ontoInput);
    QFETCH(bool, callbackGetsPaths);
    QFETCH(int, engineFiles);
    QFETCH(bool, many);

    VeskHarness h;
    LoopbackHttpServer server;
    server.setPage(QStringLiteral("/drop.html"), page);
    h.writePage(QStringLiteral("init.html"), page);
    const QString outside = h.path() + QStringLiteral("/outside.html");
    QFile out(outside);
    QVERIFY(out.open(QIODevice::WriteOnly) && out.write(page) == page.size());
    out.close();
    const QStringList files {h.path() + QStringLiteral("/a b.txt"), h.path() + QStringLiteral("/ü \"'.txt")};
    for (const QString &file : files) {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
    }

    std::unique_ptr<XWebWindow> w(h.openWindow(QStringLiteral("/init.html")));
    w->resize(800, 600);
    QWebFrame *frame = w->mainFrame();
    if (registered == QLatin1String("-")) {
        VeskHarness::eval(frame, QStringLiteral("app.onFilesDropped('gotPaths'); app.onFilesDropped('')"));
    } else if (!registered.isEmpty()) {
        VeskHarness::eval(frame, QStringLiteral("app.onFilesDropped('%1')").arg(registered));
        QVERIFY(w->view()->hasFileDropHandler());
    }
    if (document == QLatin1String("reloaded")) {
        // The new document did not ask: the engine has its drops again.
        w->view()->reload();
        QVERIFY(VeskHarness::waitForLoad(w->view()));
        QCOMPARE(VeskHarness::eval(frame, QStringLiteral("typeof app")).toString(), QStringLiteral("object"));
    } else if (document != QLatin1String("trusted")) {
        const QUrl url = document == QLatin1String("remote") ? QUrl(server.url(QStringLiteral("/drop.html")))
                                                             : QUrl::fromLocalFile(outside);
        w->binding()->followLink(url);
        QVERIFY(VeskHarness::waitForLoad(w->view()));
        QCOMPARE(frame->url(), url);
        QCOMPARE(VeskHarness::eval(frame, QStringLiteral("typeof app")).toString(), QStringLiteral("undefined"));
    }

    QMimeData data;
    QList<QUrl> urls;
    QStringList dropped = files;
    for (int i = 0; many && i <= XWebView::MaxDroppedFiles; ++i)
        dropped << h.path() + QStringLiteral("/n%1").arg(i);
    for (const QString &file : qAsConst(dropped))
        urls << QUrl::fromLocalFile(file);
    // Not a local file: never reported.
    urls << QUrl(QStringLiteral("http://127.0.0.1:1/x.txt"));
    data.setUrls(urls);
    const QRect input = frame->findFirstElement(QStringLiteral("#f")).geometry();
    QVERIFY(input.width() > 100);
    // The input's right part shows the chosen file's name; the left is its button.
    const QPoint at = ontoInput ? QPoint(input.right() - 10, input.center().y()) : QPoint(200, 250);
    sendDrop(w->view(), at, &data);
    QCoreApplication::processEvents();

    const QVariant got = VeskHarness::eval(frame, QStringLiteral("window.got"));
    if (callbackGetsPaths)
        QCOMPARE(got.toStringList(), dropped.mid(0, XWebView::MaxDroppedFiles));
    else
        QVERIFY2(got.isNull(), qPrintable(got.toStringList().join(QLatin1Char(','))));
    const int seen = ontoInput
        ? VeskHarness::eval(frame, QStringLiteral("document.getElementById('f').files.length")).toInt()
        : VeskHarness::eval(frame, QStringLiteral("window.engineSaw")).toInt();
    QCOMPARE(seen, engineFiles);
    if (ontoInput)
        QCOMPARE(VeskHarness::eval(frame, QStringLiteral("document.getElementById('f').files[0].name")).toString(),
                 QFileInfo(files.first()).fileName());
}

QTEST_MAIN(TestFileDrop)
#include "tst_filedrop.moc"
