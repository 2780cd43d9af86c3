#pragma once

#include <QObject>
#include <QString>
#include <QThreadPool>

#include <functional>

class QFileInfo;

// Small JPEG copies of photos, made on a pool of worker threads and kept in a
// cache folder under names made of the photo's path, its size, its modification
// time and the requested size, so a photo that changed is made again and one
// that did not is answered from the cache.
class XThumbnailer : public QObject {
    Q_OBJECT

public:
    enum Failure {
        NoFailure = 0,
        BadSize = 1,      // maxSide outside 1..MaxSide
        NotAFile = 2,     // missing, a folder, a FIFO or a device, or unreadable
        NotAnImage = 3,   // no image format recognised, or decoding failed
        TooLarge = 4,     // more pixels than decoding is allowed to take
        CacheFailed = 5,  // the thumbnail could not be written
        Busy = 6,         // MaxWaiting requests are already waiting
    };
    struct Result {
        QString file;  // the thumbnail's path on success
        Failure failure = NoFailure;
        QString error;
    };
    using Done = std::function<void(const Result &)>;

    static constexpr int MaxSide = 4096;
    // Requests not yet answered; beyond this a request fails at once, so a page
    // asking in a loop cannot queue without end.
    static constexpr int MaxWaiting = 10000;
    // The cache is cut back to three quarters of this, oldest copies first,
    // when the first request of a run finds it larger.
    static constexpr qint64 CacheLimit = 1024LL * 1024 * 1024;

    explicit XThumbnailer(const QString &cacheDir, QObject *parent = nullptr);
    // Drops requests not started and waits for those running; their answers are not delivered.
    ~XThumbnailer() override;

    QString cacheDir() const { return m_cacheDir; }

    // Makes (or finds) the thumbnail on the calling thread; safe on any thread.
    static Result make(const QString &cacheDir, const QString &source, int maxSide);
    // Makes it on the pool and calls done on this object's thread, exactly once.
    void request(const QString &source, int maxSide, const Done &done);
    // Removes the oldest copies until the folder holds at most keep bytes; the bytes left.
    static qint64 trim(const QString &cacheDir, qint64 limit, qint64 keep);

private:
    static QString cacheName(const QFileInfo &source, int maxSide);

    QString m_cacheDir;
    QThreadPool m_pool;
    int m_waiting = 0;
    bool m_trimmed = false;
};
