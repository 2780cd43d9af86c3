// The baseline: the least a Qt WebKit program does to show a page, quitting once it has loaded.
#include <QApplication>
#include <QUrl>
#include <QWebView>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    if (argc < 2)
        return 2;
    QWebView view;
    QObject::connect(&view, &QWebView::loadFinished, &application, [](bool ok) { QCoreApplication::exit(ok ? 0 : 1); });
    view.load(QUrl::fromLocalFile(QString::fromLocal8Bit(argv[1])));
    view.showMaximized();
    return application.exec();
}
