#include "koupdater.h"

#include "kotagimportresult.h"
#include "koupdaterthread.h"
#include "xjsliteral.h"

#include <QVariantMap>
#include <QWebFrame>
#include <QWebPage>
#include <QWebView>

KOUpdater::KOUpdater(QWebView *view)
    : VESKPlugin(view)
{
}

KOUpdater::~KOUpdater()
{
    const QList<KOUpdaterThread *> threads = findChildren<KOUpdaterThread *>(QString(), Qt::FindDirectChildrenOnly);
    for (KOUpdaterThread *thread : threads) {
        disconnect(thread, nullptr, this, nullptr);
        thread->cancel();
    }
    for (KOUpdaterThread *thread : threads)
        thread->wait();
}

const char *KOUpdater::scriptObjectName() const
{
    return "lkoupdater";
}

void KOUpdater::hello()
{
    evaluateInPage(QStringLiteral("alert('xxx hello yyy');"));
}

void KOUpdater::updateData(const QString &path_db, const QString &path, const QString &callback_updated)
{
    auto *thread = new KOUpdaterThread(view(), path_db, path, this);
    thread->setProperty("callback", callback_updated);
    connect(thread, &QThread::finished, this, &KOUpdater::finished);
    thread->start(QThread::InheritPriority);
}

void KOUpdater::finished()
{
    auto *thread = qobject_cast<KOUpdaterThread *>(sender());
    if (!thread)
        return;
    const QString callback = thread->property("callback").toString();
    const KOTagImportResult result = thread->result();
    // finished() comes just before the thread has wound down.
    thread->wait();
    thread->deleteLater();
    evaluateInPage(XJsLiteral::call(callback, {resultObject(result)}));
}

QVariantMap KOUpdater::resultObject(const KOTagImportResult &result)
{
    QString status;
    switch (result.status) {
    case KOTagImportResult::Completed: status = QStringLiteral("ok"); break;
    case KOTagImportResult::RolledBack: status = QStringLiteral("rolled back"); break;
    case KOTagImportResult::NotADictionary: status = QStringLiteral("not a dictionary"); break;
    case KOTagImportResult::DictionaryUnreadable: status = QStringLiteral("unreadable"); break;
    case KOTagImportResult::DatabaseUnavailable: status = QStringLiteral("unavailable"); break;
    }
    QVariantMap object;
    object.insert(QStringLiteral("status"), status);
    object.insert(QStringLiteral("records"), result.keywordRecords + result.textRecords + result.relationRecords);
    object.insert(QStringLiteral("inserted"), result.inserted);
    object.insert(QStringLiteral("updated"), result.updated);
    object.insert(QStringLiteral("confirmed"), result.unchanged);
    object.insert(QStringLiteral("deleted"), result.deleted);
    object.insert(QStringLiteral("skipped"), result.skippedRecords);
    object.insert(QStringLiteral("seconds"), result.seconds);
    object.insert(QStringLiteral("error_text"), result.error);
    return object;
}
