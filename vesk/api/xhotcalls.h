#pragma once

#include <QObject>
#include <QVariant>

class XJavaScriptAPI;

// The slots pages call in tight loops, on an object of their own: the engine
// finds a slot by walking the object's methods on every call, and "app" has a
// few hundred. The bridge script makes them app's functions of the same names;
// every slot hands over to the API object, so results are its own. The engine
// also converts the arguments once for each overload a default argument
// makes, so the script calls the twins of fixed arity (name and count) for
// the usual counts, and the slots with defaults only for the others.
class XHotCalls : public QObject {
    Q_OBJECT

public:
    XHotCalls(XJavaScriptAPI *api, QObject *parent);

public Q_SLOTS:
    QVariant _call(const QVariantList &vars, int leaveFirstVars = 0);
    QVariant _call1(const QVariantList &vars) { return _call(vars); }
    QVariant _call2(const QVariantList &vars, int leaveFirstVars) { return _call(vars, leaveFirstVars); }
    void dbConnect(const QString &filename, const QString &id = QString());
    void dbClose(const QString &id = QString());
    QVariant dbInsert(const QString &query, const QString &id = QString(), const QVariant &params = QVariant());
    QVariant dbInsert1(const QString &query) { return dbInsert(query); }
    QVariant dbInsert2(const QString &query, const QString &id) { return dbInsert(query, id); }
    QVariant dbInsert3(const QString &query, const QString &id, const QVariant &params)
    {
        return dbInsert(query, id, params);
    }
    QVariant dbInsertMany(const QString &id, const QString &query, const QVariant &rows);
    QString dbLastError(const QString &id = QString());
    // app.dbQuery's rows packed, since the engine converts a few big values
    // much faster than many small ones: the source of a function that makes
    // the rows (see XBridgeScript::rowMaker), the row count, the cells as
    // bytes and all text in one string; empty on failure. Named as app's, so
    // the engine's errors about arguments name the same slot.
    QVariantList dbQuery(const QString &query, const QString &id = QString(), const QVariant &params = QVariant());
    QVariantList dbQuery1(const QString &query) { return dbQuery(query); }
    QVariantList dbQuery2(const QString &query, const QString &id) { return dbQuery(query, id); }
    QVariantList dbQuery3(const QString &query, const QString &id, const QVariant &params)
    {
        return dbQuery(query, id, params);
    }

private:
    XJavaScriptAPI *m_api;
};
