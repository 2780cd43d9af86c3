#include "vesk.h"

#include "xpagepath.h"
#include "xwebwindow.h"

#include <QApplication>
#include <QFileInfo>
#include <QSettings>

#include <cstdio>

Vesk::Vesk(const QString &startPage, QApplication *application)
    : QObject(nullptr)
{
    m_mainWindow = new XWebWindow(nullptr, false);
    m_mainWindow->setApplication(this);

    const QString path =
        XPagePath::resolve(m_mainWindow->applicationDirectory(), m_mainWindow->baseDirectory(), startPage);
    if (QFileInfo::exists(path)) {
        m_mainWindow->load(startPage);
    } else {
        const QByteArray message =
            "vesk: no application to run: " + QFileInfo(path).absoluteFilePath().toLocal8Bit() + " does not exist\n";
        fputs(message.constData(), stderr);
        m_mainWindow->showMissingApplication(QFileInfo(path).absoluteFilePath());
    }
    m_mainWindow->showMaximized();

    m_settings = new QSettings(QStringLiteral("config.ini"), QSettings::IniFormat, m_mainWindow);
    m_application = application;
}

Vesk::~Vesk()
{
    delete m_mainWindow;
}

QVariant Vesk::setting(const QString &key, const QVariant &defaultValue) const
{
    return m_settings->value(key, defaultValue);
}

void Vesk::setSetting(const QString &key, const QVariant &value)
{
    m_settings->setValue(key, value);
}
