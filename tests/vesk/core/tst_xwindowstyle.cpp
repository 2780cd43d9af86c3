#include "core/xwindowstyle.h"

#include <QtTest>

class TestXWindowStyle : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void flags_data();
    void flags();
};

void TestXWindowStyle::flags_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("frameless");
    QTest::addColumn<bool>("onTop");
    QTest::addColumn<bool>("defaultCaption");
    QTest::addColumn<QList<bool>>("caption"); // title, min, max, close, help
    QTest::addColumn<int>("expected");

    const QList<bool> all {true, true, true, true, false};
    QTest::newRow("window") << 0 << false << false << true << all << int(Qt::Window);
    QTest::newRow("dialog") << 1 << false << false << true << all << int(Qt::Dialog);
    QTest::newRow("popup") << 2 << false << false << true << all << int(Qt::Popup);
    QTest::newRow("tool") << 3 << false << false << true << all << int(Qt::Tool);
    QTest::newRow("splash") << 4 << false << false << true << all << int(Qt::SplashScreen);
    QTest::newRow("unknown-type-is-widget") << 7 << false << false << true << all << int(Qt::Widget);
    QTest::newRow("frameless-on-top") << 0 << true << true << true << all
                                      << int(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    QTest::newRow("caption-ignored-while-default")
        << 0 << false << false << true << QList<bool> {false, false, false, false, true} << int(Qt::Window);
    QTest::newRow("caption-without-title")
        << 0 << false << false << false << QList<bool> {false, true, true, true, false}
        << int(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint
               | Qt::WindowCloseButtonHint);
    QTest::newRow("caption-help-only") << 1 << false << false << false << QList<bool> {false, false, false, false, true}
                                       << int(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowContextHelpButtonHint);
    QTest::newRow("caption-everything") << 0 << false << true << false << QList<bool> {true, true, true, true, true}
                                        << int(Qt::Window | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint
                                               | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint
                                               | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint
                                               | Qt::WindowContextHelpButtonHint);
}

void TestXWindowStyle::flags()
{
    QFETCH(int, type);
    QFETCH(bool, frameless);
    QFETCH(bool, onTop);
    QFETCH(bool, defaultCaption);
    QFETCH(QList<bool>, caption);
    QFETCH(int, expected);
    XWindowStyle style;
    style.type = type;
    style.frameless = frameless;
    style.stayOnTop = onTop;
    style.defaultCaption = defaultCaption;
    style.showTitle = caption.at(0);
    style.minimizeButton = caption.at(1);
    style.maximizeButton = caption.at(2);
    style.closeButton = caption.at(3);
    style.helpButton = caption.at(4);
    QCOMPARE(int(style.flags()), expected);
}

QTEST_GUILESS_MAIN(TestXWindowStyle)
#include "tst_xwindowstyle.moc"
