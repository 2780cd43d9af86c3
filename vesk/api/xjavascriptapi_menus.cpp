#include "api/xjavascriptapi.h"

#include "page/xpagebinding.h"
#include "window/xwebwindow.h"

#include <QAction>
#include <QInputDialog>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>

void XJavaScriptAPI::switchMenu(const QString &name)
{
    if (XWebWindow *w = window())
        w->switchMenu(name);
}

void XJavaScriptAPI::addMenu(const QString &name, const QString &text, const QString &icon)
{
    if (XWebWindow *w = window())
        w->addMenu(name, text, icon);
}

void XJavaScriptAPI::_addMenuAction(const QString &name, const QString &text, const QString &onClick,
                                    const QString &icon, const QString &shortcut)
{
    if (XWebWindow *w = window())
        w->addMenuAction(name, text, onClick, icon, shortcut);
}

void XJavaScriptAPI::addMenuSeparator(const QString &name)
{
    if (XWebWindow *w = window())
        w->addMenuSeparator(name);
}

void XJavaScriptAPI::removeMenuAction(const QString &name)
{
    if (XWebWindow *w = window())
        w->removeMenuAction(name);
}

void XJavaScriptAPI::clearMenu()
{
    if (XWebWindow *w = window())
        w->clearMenuBar();
}

void XJavaScriptAPI::enableMenu()
{
    if (XWebWindow *w = window())
        w->menuBar()->setDisabled(false);
}

void XJavaScriptAPI::disableMenu()
{
    if (XWebWindow *w = window())
        w->menuBar()->setDisabled(true);
}

static QAction *namedAction(XWebWindow *window, const QString &name)
{
    return window ? window->menuAction(name) : nullptr;
}

void XJavaScriptAPI::enableMenuAction(const QString &name)
{
    if (QAction *action = namedAction(window(), name))
        action->setEnabled(true);
}

void XJavaScriptAPI::disableMenuAction(const QString &name)
{
    if (QAction *action = namedAction(window(), name))
        action->setEnabled(false);
}

void XJavaScriptAPI::showMenuAction(const QString &name)
{
    if (QAction *action = namedAction(window(), name))
        action->setVisible(true);
}

void XJavaScriptAPI::hideMenuAction(const QString &name)
{
    if (QAction *action = namedAction(window(), name))
        action->setVisible(false);
}

QString XJavaScriptAPI::prompt(const QString &txt, const QString &title, const QString &defaultValue,
                               const QString &type)
{
    QInputDialog dialog(owner());
    dialog.setWindowTitle(title);
    dialog.setLabelText(txt);
    dialog.setWindowModality(Qt::WindowModal);
    if (type == QLatin1String("int")) {
        dialog.setInputMode(QInputDialog::IntInput);
        dialog.setIntRange(0, 10000000);
        dialog.setIntStep(1);
        dialog.setIntValue(defaultValue.toInt());
    } else if (type == QLatin1String("double")) {
        dialog.setInputMode(QInputDialog::DoubleInput);
        dialog.setDoubleRange(0, 10000000);
        dialog.setDoubleDecimals(5);
        dialog.setDoubleValue(defaultValue.toDouble());
    } else {
        dialog.setInputMode(QInputDialog::TextInput);
        if (type == QLatin1String("textarea"))
            dialog.setOption(QInputDialog::UsePlainTextEditForTextInput);
        else if (type == QLatin1String("password"))
            dialog.setTextEchoMode(QLineEdit::Password);
        dialog.setTextValue(defaultValue);
    }
    if (dialog.exec() != QDialog::Accepted)
        return QString(QLatin1String(""));
    switch (dialog.inputMode()) {
    case QInputDialog::IntInput: return QString::number(dialog.intValue());
    // Six significant digits, the exponent form from seven integer digits on.
    case QInputDialog::DoubleInput: return QString::number(dialog.doubleValue(), 'g', 6);
    case QInputDialog::TextInput: break;
    }
    return dialog.textValue();
}

void XJavaScriptAPI::info(const QString &txt, const QString &title)
{
    QMessageBox::about(nullptr, title, txt);
}

bool XJavaScriptAPI::confirm(const QString &txt, const QString &title, const QString &yes, const QString &no)
{
    QMessageBox box(QMessageBox::Question, title, txt, QMessageBox::NoButton, nullptr);
    QPushButton *yesButton = box.addButton(yes, QMessageBox::AcceptRole);
    box.addButton(no, QMessageBox::RejectRole);
    box.setDefaultButton(yesButton);
    box.exec();
    return box.clickedButton() == yesButton;
}
