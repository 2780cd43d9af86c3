#include "qftpdtp.h"

#include <QtTest>

// Directory listing lines (Unix and DOS forms) and the splitting of listing data into lines.
class TestQFtpListing : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void parseLine_data();
    void parseLine();
    void dates_data();
    void dates();
    void splitAnywhere();
    void overLongLine();
};

void TestQFtpListing::parseLine_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("name");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QString>("owner");
    QTest::addColumn<QString>("group");
    QTest::addColumn<int>("permissions");
    // "d" dir, "f" file, "l" symlink; then "r", "w", "x" for the access flags.
    QTest::addColumn<QString>("flags");
    // Rows are read as the entry's owner unless they name "someone".

    QTest::newRow("unix dir, two spaces before the year")
        << "drwxr-xr-x 3 ftp ftp 4096 Apr 14  2000 examples" << true << "examples" << qint64(4096) << "ftp"
        << "ftp" << 0755 << "drwx";
    QTest::newRow("unix file with time") << "-rw-r--r--   1 alice staff   123456 Jan  2 10:30 notes.txt" << true
                                         << "notes.txt" << qint64(123456) << "alice"
                                         << "staff" << 0644 << "frw";
    QTest::newRow("unix file with year") << "-rwxr-x---   1 bob  users 42 Dec 31 1999 run.sh" << true << "run.sh"
                                         << qint64(42) << "bob"
                                         << "users" << 0750 << "frwx";
    QTest::newRow("unix name with spaces")
        << "-rw-r--r-- 1 a b 7 Mar  3 2015 my holiday photo.jpg" << true << "my holiday photo.jpg" << qint64(7) << "a"
        << "b" << 0644 << "frw";
    QTest::newRow("unix name with leading spaces")
        << "-rw-r--r-- 1 a b 7 Mar  3 2015   notes.txt" << true << "  notes.txt" << qint64(7) << "a"
        << "b" << 0644 << "frw";
    QTest::newRow("unix name with leading space after a time")
        << "-rw-r--r-- 1 a b 7 Jan  2 10:30  x " << true << " x " << qint64(7) << "a"
        << "b" << 0644 << "frw";
    QTest::newRow("unix symlink with ->")
        << "lrwxrwxrwx 1 root root 11 Jan  2  2001 latest -> examples/v2" << true << "latest" << qint64(11) << "root"
        << "root" << 0777 << "dlrwx";
    QTest::newRow("unix setuid and sticky") << "-rwsr-xr-T 1 a b 1 Jan 01 2001 su" << true << "su" << qint64(1) << "a"
                                            << "b" << 0754 << "frwx";
    QTest::newRow("unix size beyond 4 GiB")
        << "-rw-r--r-- 1 a b 8589934592 Jan 01 2001 big.iso" << true << "big.iso" << qint64(8589934592LL) << "a"
        << "b" << 0644 << "frw";
    QTest::newRow("unix size overflowing 64 bits")
        << "-rw-r--r-- 1 a b 99999999999999999999999 Jan 01 2001 x" << false << "" << qint64(0) << ""
        << "" << 0 << "";
    QTest::newRow("unix name with quote and backslash")
        << "-rw-r--r-- 1 a b 5 Jan 01 2001 it's a \\ \"test\"" << true << "it's a \\ \"test\"" << qint64(5) << "a"
        << "b" << 0644 << "frw";
    QTest::newRow("unix non-ASCII name") << QString::fromUtf8("-rw-r--r-- 1 a b 5 Jan 01 2001 Ärger.txt") << true
                                         << QString::fromUtf8("Ärger.txt") << qint64(5) << "a"
                                         << "b" << 0644 << "frw";
    QTest::newRow("unix, other owner: access from the bits for others")
        << "-rw-r----- 1 someone b 5 Jan 01 2001 secret" << true << "secret" << qint64(5) << "someone"
        << "b" << 0640 << "f";
    QTest::newRow("dos dir") << "04-14-00  12:30PM       <DIR>          Program Files" << true << "Program Files"
                             << qint64(0) << ""
                             << "" << 0666 << "drw";
    QTest::newRow("dos file") << "11-05-21  09:15AM              1234 report.doc" << true << "report.doc"
                              << qint64(1234) << ""
                              << "" << 0666 << "frw";
    QTest::newRow("dos exe") << "01-01-99  01:00AM             65536 setup.EXE" << true << "setup.EXE" << qint64(65536)
                             << ""
                             << "" << 0777 << "frwx";
    QTest::newRow("dos bat") << "01-01-99  01:00AM                10 go.bat" << true << "go.bat" << qint64(10) << ""
                             << "" << 0777 << "frwx";
    QTest::newRow("dos lnk") << "01-01-99  01:00AM               900 Desktop.lnk" << true << "Desktop.lnk"
                             << qint64(900) << ""
                             << "" << 0666 << "flrw";
    QTest::newRow("dos four-digit year") << "01-01-2009  01:00AM              1 a.txt" << true << "a.txt" << qint64(1)
                                         << ""
                                         << "" << 0666 << "frw";
    QTest::newRow("No such file or directory") << "No such file or directory" << false << "" << qint64(0) << ""
                                               << "" << 0 << "";
    QTest::newRow("total line") << "total 12" << false << "" << qint64(0) << ""
                                << "" << 0 << "";
    QTest::newRow("empty") << "" << false << "" << qint64(0) << ""
                           << "" << 0 << "";
    QTest::newRow("garbage") << "\x01\x02 <html>" << false << "" << qint64(0) << ""
                             << "" << 0 << "";
    QTest::newRow("truncated unix line") << "drwxr-xr-x 3 ftp ftp 4096 Apr 14" << false << "" << qint64(0) << ""
                                         << "" << 0 << "";
    QTest::newRow("bad permission letters")
        << "d!wxr-xr-x 3 ftp ftp 4096 Apr 14 2000 x" << false << "" << qint64(0) << ""
        << "" << 0 << "";
    QTest::newRow("dos without name") << "01-01-99  01:00AM   10   " << false << "" << qint64(0) << ""
                                      << "" << 0 << "";
}

void TestQFtpListing::parseLine()
{
    QFETCH(QString, line);
    QFETCH(bool, valid);
    QFETCH(QString, name);
    QFETCH(qint64, size);
    QFETCH(QString, owner);
    QFETCH(QString, group);
    QFETCH(int, permissions);
    QFETCH(QString, flags);

    const QString user = owner == QLatin1String("someone") ? QStringLiteral("ftp") : owner;
    QUrlInfo info;
    QCOMPARE(QFtpDTP::parseDir(line, user, &info), valid);
    if (!valid) {
        QCOMPARE(info, QUrlInfo());
        return;
    }
    QCOMPARE(info.name(), name);
    QCOMPARE(info.size(), size);
    QCOMPARE(info.owner(), owner);
    QCOMPARE(info.group(), group);
    QCOMPARE(info.permissions(), permissions);
    QCOMPARE(info.isDir(), flags.contains('d'));
    QCOMPARE(info.isFile(), flags.contains('f'));
    QCOMPARE(info.isSymLink(), flags.contains('l'));
    QCOMPARE(info.isReadable(), flags.contains('r'));
    QCOMPARE(info.isWritable(), flags.contains('w'));
    QCOMPARE(info.isExecutable(), flags.contains('x'));
}

void TestQFtpListing::dates_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QDateTime>("expected");

    const QDate today = QDate::currentDate();
    QTest::newRow("unix year, two-digit day")
        << "-rw-r--r-- 1 a b 1 Apr 14 2000 f" << QDateTime(QDate(2000, 4, 14), QTime(0, 0));
    QTest::newRow("unix two spaces before year")
        << "-rw-r--r-- 1 a b 1 Apr 14  2000 f" << QDateTime(QDate(2000, 4, 14), QTime(0, 0));
    QTest::newRow("unix one-digit day and year")
        << "-rw-r--r-- 1 a b 1 Apr  4 2000 f" << QDateTime(QDate(2000, 4, 4), QTime(0, 0));
    QTest::newRow("unix lower-case month")
        << "-rw-r--r-- 1 a b 1 apr 14 2000 f" << QDateTime(QDate(2000, 4, 14), QTime(0, 0));
    const QDate past = today.addDays(-30);
    QTest::newRow("unix time means this year") << QStringLiteral("-rw-r--r-- 1 a b 1 %1 %2 08:05 f")
                                                      .arg(QLocale::c().toString(past, QStringLiteral("MMM")))
                                                      .arg(past.day(), 2, 10, QLatin1Char(' '))
                                               << QDateTime(past, QTime(8, 5));
    const QDate future = today.addDays(40);
    QTest::newRow("unix time in the future means last year")
        << QStringLiteral("-rw-r--r-- 1 a b 1 %1 %2 08:05 f")
               .arg(QLocale::c().toString(future, QStringLiteral("MMM")))
               .arg(future.day(), 2, 10, QLatin1Char('0'))
        << QDateTime(QDate(future.year() - 1, future.month(), future.day()), QTime(8, 5));
    QTest::newRow("dos before 1971 moves a century")
        << "04-14-05  01:30PM 1 f" << QDateTime(QDate(2005, 4, 14), QTime(13, 30));
    QTest::newRow("dos 1990s") << "12-31-99  11:59PM 1 f" << QDateTime(QDate(1999, 12, 31), QTime(23, 59));
    QTest::newRow("unix unreadable date") << "-rw-r--r-- 1 a b 1 Foo 99 9999 f" << QDateTime();
}

void TestQFtpListing::dates()
{
    QFETCH(QString, line);
    QFETCH(QDateTime, expected);
    QUrlInfo info;
    QVERIFY(QFtpDTP::parseDir(line, QString(), &info));
    QCOMPARE(info.lastModified(), expected);
}

void TestQFtpListing::splitAnywhere()
{
    const QByteArray listing = "drwxr-xr-x 3 ftp ftp 4096 Apr 14  2000 examples\r\n"
                               "garbage\r\n"
                               "-rw-r--r-- 1 ftp ftp 10 Jan 01 2001 a b.txt\n"
                               "No such file or directory\r\n"
                               "\r\n"
                               "01-01-99  01:00AM               900 last.lnk";
    const QStringList names = {"examples", "a b.txt", "last.lnk"};

    for (int first = 0; first <= listing.size(); ++first) {
        for (int second = first; second <= listing.size(); second += 7) {
            QFtpDTP dtp;
            QStringList seen;
            connect(&dtp, &QFtpDTP::listInfo, this, [&](const QUrlInfo &i) { seen << i.name(); });
            QVERIFY(dtp.feedListing(listing.left(first)));
            QVERIFY(dtp.feedListing(listing.mid(first, second - first)));
            QVERIFY(dtp.feedListing(listing.mid(second)));
            dtp.finishListing();
            QCOMPARE(seen, names);
        }
    }
}

void TestQFtpListing::overLongLine()
{
    QFtpDTP dtp;
    QStringList seen;
    connect(&dtp, &QFtpDTP::listInfo, this, [&](const QUrlInfo &i) { seen << i.name(); });
    QVERIFY(dtp.feedListing("-rw-r--r-- 1 a b 1 Jan 01 2001 ok\r\n"));
    // Without a line end the buffer must not grow past the bound.
    const QByteArray chunk(4096, 'z');
    bool accepted = true;
    int fed = 0;
    while (accepted && fed < 10) {
        accepted = dtp.feedListing(chunk);
        ++fed;
    }
    QVERIFY(!accepted);
    QCOMPARE(fed, 3);
    QCOMPARE(seen, QStringList {"ok"});

    QFtpDTP other;
    QVERIFY(!other.feedListing("-rw-r--r-- 1 a b 1 Jan 01 2001 " + QByteArray(9000, 'n') + "\r\nnext\r\n"));
}

QTEST_GUILESS_MAIN(TestQFtpListing)
#include "tst_qftplisting.moc"
