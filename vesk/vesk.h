#pragma once

#include <QObject>
#include <QVariant>

class QApplication;
class QSettings;
class XWebWindow;

// The application object: owns the main window and the settings store.
class Vesk : public QObject {
    Q_OBJECT

public:
    Vesk(const QString &startPage, QApplication *application);
    ~Vesk() override;

    XWebWindow *mainWindow() const { return m_mainWindow; }
    QVariant setting(const QString &key, const QVariant &defaultValue) const;
    void setSetting(const QString &key, const QVariant &value);

private:
    QApplication *m_application = nullptr;
    XWebWindow *m_mainWindow = nullptr;
    QSettings *m_settings = nullptr;
};
