#pragma once

#include <QObject>
#include <QVariant>

class XJavaScriptAPI;

// The slots pages call in tight loops, on an object of their own: the engine
// finds a slot by walking the object's methods on every call, and "app" has a
// few hundred. The bridge script points app's functions of the same names
// here; every slot hands over to the API object, so results are its own.
class XHotCalls : public QObject {
    Q_OBJECT

public:
    XHotCalls(XJavaScriptAPI *api, QObject *parent);

public Q_SLOTS:
    QVariant _call(const QVariantList &vars, int leaveFirstVars = 0);
    void dbConnect(const QString &filename, const QString &id = QString());
    void dbClose(const QString &id = QString());
    QVariant dbInsert(const QString &query, const QString &id = QString(), const QVariant &params = QVariant());
    QVariant dbInsertMany(const QString &id, const QString &query, const QVariant &rows);
    QString dbLastError(const QString &id = QString());
    // app.dbQuery's rows packed, since the engine converts a few big values
    // much faster than many small ones: the source of a function that makes
    // the rows (see XBridgeScript::rowMaker), the row count, the cells as
    // bytes and all text in one string; empty on failure. Named as app's, so
    // the engine's errors about arguments name the same slot.
    QVariantList dbQuery(const QString &query, const QString &id = QString(), const QVariant &params = QVariant());

private:
    XJavaScriptAPI *m_api;
};
