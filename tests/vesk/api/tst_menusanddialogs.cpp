#include "veskharness.h"
#include "window/xaction.h"
#include "window/xwebwindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QImage>
#include <QInputDialog>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QWebFrame>
#include <QtTest>

#include <functional>
#include <memory>

static const QByteArray kPage = "<html><head><meta charset='utf-8'></head><body><script>"
                                "var calls = [];"
                                "function uložit(){ calls.push('uložit'); }"
                                "function first(){ calls.push('first'); }"
                                "function second(){ calls.push('second'); }"
                                "function inner(){ calls.push('inner'); }"
                                "</script></body></html>";

// Menus built by a page in a real window, and the page's modal dialogs answered
// from a timer.
class TestMenusAndDialogs : public QObject {
    Q_OBJECT

private:
    QVariant eval(const QString &script) { return VeskHarness::eval(m_window->mainFrame(), script); }
    // Runs answer on the next modal dialog while script runs.
    QVariant evalAnswering(const QString &script, const std::function<void(QWidget *)> &answer);
    std::unique_ptr<VeskHarness> m_harness;
    std::unique_ptr<XWebWindow> m_window;

private Q_SLOTS:
    void init();
    void cleanup();
    void menusFromPage();
    void prompt_data();
    void prompt();
    void confirm_data();
    void confirm();
    void info();
};

void TestMenusAndDialogs::init()
{
    m_harness.reset(new VeskHarness);
    m_harness->writePage(QStringLiteral("init.html"), kPage);
    m_window.reset(m_harness->openWindow(QStringLiteral("/init.html")));
}

void TestMenusAndDialogs::cleanup()
{
    m_window.reset();
    m_harness.reset();
}

QVariant TestMenusAndDialogs::evalAnswering(const QString &script, const std::function<void(QWidget *)> &answer)
{
    QTimer timer;
    timer.setInterval(10);
    bool answered = false;
    connect(&timer, &QTimer::timeout, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || answered)
            return;
        answered = true;
        answer(modal);
    });
    timer.start();
    const QVariant result = eval(script);
    [&] { QVERIFY(answered); }();
    return result;
}

void TestMenusAndDialogs::menusFromPage()
{
    QImage icon(4, 4, QImage::Format_ARGB32);
    icon.fill(Qt::red);
    QVERIFY(icon.save(QStringLiteral("icon.png")));
    eval(QStringLiteral("app.addMenu('file', 'File'); app.switchMenu('file');"
                        "app._addMenuAction('save', 'Save', 'uložit', '', 'Ctrl+S');"
                        "app._addMenuAction('dup', 'First', 'first'); app._addMenuAction('dup', 'Second', 'second');"
                        "app.addMenuSeparator('sep');"
                        "app.addMenu('sub', 'Sub'); app.switchMenu('sub');"
                        "app._addMenuAction('inner', 'Inner', 'inner');"
                        "app.addMenu('iconic', 'Iconic', 'icon.png');"
                        "app.switchMenu('never-added');"
                        "app._addMenuAction('top', 'Top', 'first');"));
    QMenuBar *bar = m_window->menuBar();
    QMenu *file = m_window->menu(QStringLiteral("file"));
    QMenu *sub = m_window->menu(QStringLiteral("sub"));
    QVERIFY(file && sub && m_window->menu(QStringLiteral("iconic")));
    QVERIFY(m_window->currentMenuName().isEmpty());
    // Submenu without icon goes into the current menu; with an icon to the bar.
    QVERIFY(file->actions().contains(sub->menuAction()));
    QVERIFY(bar->actions().contains(m_window->menu(QStringLiteral("iconic"))->menuAction()));
    QVERIFY(!sub->actions().contains(m_window->menu(QStringLiteral("iconic"))->menuAction()));
    QVERIFY(!m_window->menu(QStringLiteral("iconic"))->icon().isNull());
    QVERIFY(bar->actions().contains(m_window->menuAction(QStringLiteral("top"))));
    QVERIFY(file->actions().contains(m_window->menuAction(QStringLiteral("sep"))));
    QVERIFY(m_window->menuAction(QStringLiteral("sep"))->isSeparator());
    QCOMPARE(m_window->menuAction(QStringLiteral("save"))->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));

    // Replaced by name: both entries stay shown, the name reaches the newer one.
    QStringList texts;
    for (QAction *a : file->actions())
        texts << a->text();
    QVERIFY(texts.contains(QStringLiteral("First")) && texts.contains(QStringLiteral("Second")));
    m_window->menuAction(QStringLiteral("dup"))->trigger();
    m_window->menuAction(QStringLiteral("save"))->trigger();
    m_window->menuAction(QStringLiteral("inner"))->trigger();
    QCOMPARE(eval(QStringLiteral("calls.join()")).toString(), QStringLiteral("second,uložit,inner"));

    eval(QStringLiteral("app.removeMenuAction('inner'); app.removeMenuAction('top');"));
    QVERIFY(sub->actions().contains(m_window->menuAction(QStringLiteral("inner"))));
    QVERIFY(m_window->menuAction(QStringLiteral("inner"))->isVisible());
    QVERIFY(!bar->actions().contains(m_window->menuAction(QStringLiteral("top"))));
    eval(QStringLiteral("app.hideMenuAction('inner'); app.disableMenuAction('save'); app.disableMenu();"
                        "app.hideMenuAction('nothing'); app.enableMenuAction('nothing');"));
    QVERIFY(!m_window->menuAction(QStringLiteral("inner"))->isVisible());
    QVERIFY(!m_window->menuAction(QStringLiteral("save"))->isEnabled());
    QVERIFY(!bar->isEnabled());
    eval(QStringLiteral("app.showMenuAction('inner'); app.enableMenuAction('save'); app.enableMenu();"));
    QVERIFY(m_window->menuAction(QStringLiteral("inner"))->isVisible());
    QVERIFY(m_window->menuAction(QStringLiteral("save"))->isEnabled());
    QVERIFY(bar->isEnabled());

    eval(QStringLiteral("app.clearMenu();"));
    QVERIFY(bar->actions().isEmpty());
    QVERIFY(m_window->menuAction(QStringLiteral("sep")));
    QVERIFY(m_window->menu(QStringLiteral("file")));
}

void TestMenusAndDialogs::prompt_data()
{
    QTest::addColumn<QString>("call");
    // Set in the dialog before OK; "cancel" cancels, empty confirms unchanged.
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("expected");
    QTest::newRow("int-default-unchanged") << "'n', 't', '42', 'int'"
                                           << ""
                                           << "42";
    QTest::newRow("int-default-not-number") << "'n', 't', 'abc', 'int'"
                                            << ""
                                            << "0";
    QTest::newRow("int-above-range") << "'n', 't', '', 'int'"
                                     << "99999999"
                                     << "10000000";
    QTest::newRow("double-two-and-a-half") << "'n', 't', '1', 'double'"
                                           << "2.5"
                                           << "2.5";
    QTest::newRow("double-seven-digits") << "'n', 't', '', 'double'"
                                         << "1234567"
                                         << "1.23457e+06";
    QTest::newRow("double-six-digits") << "'n', 't', '', 'double'"
                                       << "123456.78"
                                       << "123457";
    QTest::newRow("double-default-not-number") << "'n', 't', 'x', 'double'"
                                               << ""
                                               << "0";
    QTest::newRow("text-default") << "'n', 't', 'it\\'s \"q\"'"
                                  << ""
                                  << "it's \"q\"";
    QTest::newRow("text-typed") << "'n'"
                                << "uložit"
                                << "uložit";
    QTest::newRow("textarea") << "'n', 't', 'a\\nb', 'textarea'"
                              << ""
                              << "a\nb";
    QTest::newRow("password") << "'n', 't', 'secret', 'password'"
                              << ""
                              << "secret";
    QTest::newRow("type-is-case-sensitive") << "'n', 't', '7', 'INT'"
                                            << ""
                                            << "7";
    QTest::newRow("cancel") << "'n', 't', 'x'"
                            << "cancel"
                            << "";
}

void TestMenusAndDialogs::prompt()
{
    QFETCH(QString, call);
    QFETCH(QString, answer);
    QFETCH(QString, expected);
    QString kind;
    const QVariant result = evalAnswering(QStringLiteral("app.prompt(%1)").arg(call), [&](QWidget *modal) {
        auto *dialog = qobject_cast<QInputDialog *>(modal);
        if (!dialog)
            return;
        QCOMPARE(dialog->windowTitle(), QString(call.contains(QLatin1String("'t'")) ? "t" : ""));
        QCOMPARE(dialog->labelText(), QStringLiteral("n"));
        if (dialog->inputMode() == QInputDialog::TextInput) {
            kind = dialog->textEchoMode() == QLineEdit::Password                 ? "password"
                : dialog->testOption(QInputDialog::UsePlainTextEditForTextInput) ? "textarea"
                                                                                 : "text";
        }
        if (answer == QLatin1String("cancel")) {
            dialog->reject();
            return;
        }
        if (!answer.isEmpty()) {
            if (dialog->inputMode() == QInputDialog::IntInput)
                dialog->setIntValue(answer.toInt());
            else if (dialog->inputMode() == QInputDialog::DoubleInput)
                dialog->setDoubleValue(answer.toDouble());
            else
                dialog->setTextValue(answer);
        }
        dialog->accept();
    });
    QCOMPARE(result.toString(), expected);
    if (call.contains(QLatin1String("password")))
        QCOMPARE(kind, QStringLiteral("password"));
    if (call.contains(QLatin1String("textarea")))
        QCOMPARE(kind, QStringLiteral("textarea"));
}

void TestMenusAndDialogs::confirm_data()
{
    QTest::addColumn<QString>("call");
    QTest::addColumn<QStringList>("buttons");
    QTest::addColumn<QString>("click");
    QTest::addColumn<bool>("expected");
    QTest::newRow("default-yes") << "'Sure?'" << QStringList {"Yes", "No"} << "Yes" << true;
    QTest::newRow("default-no") << "'Sure?', 'T'" << QStringList {"Yes", "No"} << "No" << false;
    QTest::newRow("own-labels") << "'Sure?', 'T', 'Ano', 'Ne'" << QStringList {"Ano", "Ne"} << "Ano" << true;
    QTest::newRow("escape") << "'Sure?'" << QStringList {"Yes", "No"} << "" << false;
}

void TestMenusAndDialogs::confirm()
{
    QFETCH(QString, call);
    QFETCH(QStringList, buttons);
    QFETCH(QString, click);
    QFETCH(bool, expected);
    const QVariant result = evalAnswering(QStringLiteral("app.confirm(%1)").arg(call), [&](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        if (!box)
            return;
        QStringList shown;
        for (QAbstractButton *b : box->buttons())
            shown << b->text();
        QCOMPARE(shown.size(), 2);
        QCOMPARE(QSet<QString>(shown.begin(), shown.end()), QSet<QString>(buttons.begin(), buttons.end()));
        QCOMPARE(box->defaultButton()->text(), buttons.first());
        QCOMPARE(box->text(), QStringLiteral("Sure?"));
        if (click.isEmpty()) {
            QTest::keyClick(box, Qt::Key_Escape);
            return;
        }
        for (QAbstractButton *b : box->buttons()) {
            if (b->text() == click)
                b->click();
        }
    });
    QCOMPARE(result.toBool(), expected);
}

void TestMenusAndDialogs::info()
{
    m_harness->answerDialogs();
    eval(QStringLiteral("app.info('Saved \"x\"', 'Done'); calls.push('after');"));
    QCOMPARE(m_harness->dialogTexts(), QStringList {QStringLiteral("Done:Saved \"x\"")});
    QCOMPARE(eval(QStringLiteral("calls.join()")).toString(), QStringLiteral("after"));
}

QTEST_MAIN(TestMenusAndDialogs)
#include "tst_menusanddialogs.moc"
