#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>

// Objects pages hold by number: open files, programs, FTP connections, windows.
// Ids count from 1 and are never reused. An entry goes when its object is
// destroyed or released, so a table in a long-running page holds only what is
// alive; wasIssued still tells a finished id from one never handed out.
template <typename T>
class XHandleTable {
public:
    int add(T *object)
    {
        if (++m_added % 64 == 0)
            prune();
        m_entries.insert(++m_lastId, object);
        return m_lastId;
    }
    // Under an id chosen elsewhere (a window's own page is 0).
    void insert(int id, T *object) { m_entries.insert(id, object); }
    T *value(int id) const { return m_entries.value(id); }
    void release(int id) { m_entries.remove(id); }
    bool wasIssued(int id) const { return id > 0 && id <= m_lastId; }
    int lastId() const { return m_lastId; }
    // The live objects, by id.
    QList<T *> objects() const
    {
        QList<T *> live;
        for (auto it = m_entries.cbegin(); it != m_entries.cend(); ++it) {
            if (it.value())
                live << it.value().data();
        }
        return live;
    }
    int size() const { return m_entries.size(); }

private:
    void prune()
    {
        for (auto it = m_entries.begin(); it != m_entries.end();)
            it = it.value() ? it + 1 : m_entries.erase(it);
    }

    QHash<int, QPointer<T>> m_entries;
    int m_lastId = 0;
    int m_added = 0;
};
