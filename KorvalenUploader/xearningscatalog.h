#pragma once

#include <QString>
#include <QVariantMap>

// Writes one "getEarnings" answer into the catalog: totals into stock, the
// daily history into stockstats. One transaction, bound values, its own
// connection; any failure rolls the whole update back.
class XEarningsCatalog {
public:
    enum Result { Updated, Malformed, DatabaseFailed };
    // Rows per insert statement: flushed once a batch holds more than this.
    static const int BatchRows = 30;

    explicit XEarningsCatalog(QString path);

    // The catalog of the running application: data/catalog.dat under the
    // first application-data location.
    static QString defaultPath();

    Result apply(const QVariantMap &earnings);
    QString error() const { return m_error; }
    // Insert statements executed by the last apply().
    int inserts() const { return m_inserts; }

    static QString numberText(double value);

private:
    QString m_path;
    QString m_error;
    int m_inserts = 0;
};
