#include "qftpreplyreader.h"

#include <QtTest>

using Replies = QList<QPair<int, QString>>;
Q_DECLARE_METATYPE(QFtpReplyReader::Result)

// The control connection's reply reader, fed whole and at every split point.
class TestQFtpReplyReader : public QObject {
    Q_OBJECT

private:
    static QFtpReplyReader::Result readAll(const QList<QByteArray> &chunks, Replies *replies);

private Q_SLOTS:
    void replies_data();
    void replies();
    void bufferStaysBounded();
};

QFtpReplyReader::Result TestQFtpReplyReader::readAll(const QList<QByteArray> &chunks, Replies *replies)
{
    QFtpReplyReader reader;
    QFtpReplyReader::Result result = QFtpReplyReader::NeedMore;
    for (const QByteArray &chunk : chunks) {
        reader.append(chunk);
        int code = 0;
        QString text;
        while ((result = reader.next(&code, &text)) == QFtpReplyReader::Reply)
            replies->append(qMakePair(code, text));
        if (result != QFtpReplyReader::NeedMore)
            return result;
    }
    return result;
}

void TestQFtpReplyReader::replies_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<Replies>("expected");
    QTest::addColumn<QFtpReplyReader::Result>("end");

    QTest::newRow("single line") << QByteArray("220 Ready\r\n") << Replies {{220, "Ready"}}
                                 << QFtpReplyReader::NeedMore;
    QTest::newRow("LF only") << QByteArray("331 Password\n") << Replies {{331, "Password"}}
                             << QFtpReplyReader::NeedMore;
    QTest::newRow("code only") << QByteArray("200\r\n") << Replies {{200, ""}} << QFtpReplyReader::NeedMore;
    QTest::newRow("incomplete line waits") << QByteArray("220 Rea") << Replies {} << QFtpReplyReader::NeedMore;
    QTest::newRow("multi-line") << QByteArray("230-Welcome\r\n230-Second\r\n230 Done\r\n")
                                << Replies {{230, "Welcome\nSecond\nDone"}} << QFtpReplyReader::NeedMore;
    QTest::newRow("multi-line with free lines")
        << QByteArray("211-Features:\r\n EPSV\r\n MDTM\r\n211 End\r\n")
        << Replies {{211, "Features:\n EPSV\n MDTM\nEnd"}} << QFtpReplyReader::NeedMore;
    QTest::newRow("multi-line: other code inside")
        << QByteArray("230-Hi\r\n220 not the end\r\n230 End\r\n") << Replies {{230, "Hi\n220 not the end\nEnd"}}
        << QFtpReplyReader::NeedMore;
    QTest::newRow("several replies in one chunk")
        << QByteArray("150 Opening\r\n226 Done\r\n250 OK\r\n") << Replies {{150, "Opening"}, {226, "Done"}, {250, "OK"}}
        << QFtpReplyReader::NeedMore;
    QTest::newRow("Latin-1 text kept") << QByteArray("550 Datei \xe4\xf6\xfc fehlt\r\n")
                                       << Replies {{550, QString::fromLatin1("Datei \xe4\xf6\xfc fehlt")}}
                                       << QFtpReplyReader::NeedMore;
    QTest::newRow("quotes and backslashes") << QByteArray("257 \"C:\\dir's\" created\r\n")
                                            << Replies {{257, "\"C:\\dir's\" created"}} << QFtpReplyReader::NeedMore;
    QTest::newRow("garbage first line") << QByteArray("hello\r\n") << Replies {} << QFtpReplyReader::Malformed;
    QTest::newRow("too short") << QByteArray("22\r\n") << Replies {} << QFtpReplyReader::Malformed;
    QTest::newRow("first digit 6") << QByteArray("600 x\r\n") << Replies {} << QFtpReplyReader::Malformed;
    QTest::newRow("first digit 0") << QByteArray("000 x\r\n") << Replies {} << QFtpReplyReader::Malformed;
    QTest::newRow("second digit 6") << QByteArray("260 x\r\n") << Replies {} << QFtpReplyReader::Malformed;
    QTest::newRow("letter in code") << QByteArray("2x0 x\r\n") << Replies {} << QFtpReplyReader::Malformed;
    QTest::newRow("good reply then garbage")
        << QByteArray("200 OK\r\n\r\n") << Replies {{200, "OK"}} << QFtpReplyReader::Malformed;
    QTest::newRow("over-long line") << QByteArray("200 " + QByteArray(9000, 'a') + "\r\n") << Replies {}
                                    << QFtpReplyReader::TooLong;
    QTest::newRow("over-long line without end")
        << QByteArray("200 " + QByteArray(9000, 'a')) << Replies {} << QFtpReplyReader::TooLong;
    QByteArray huge = "230-start\r\n";
    for (int i = 0; i < 1100; ++i)
        huge += QByteArray(1000, 'b') + "\r\n";
    huge += "230 end\r\n";
    QTest::newRow("over-long multi-line reply") << huge << Replies {} << QFtpReplyReader::TooLong;
    QTest::newRow("line at the bound") << QByteArray("200 " + QByteArray(8000, 'c') + "\r\n")
                                       << Replies {{200, QString(8000, 'c')}} << QFtpReplyReader::NeedMore;
}

void TestQFtpReplyReader::replies()
{
    QFETCH(QByteArray, input);
    QFETCH(Replies, expected);
    QFETCH(QFtpReplyReader::Result, end);

    Replies whole;
    QCOMPARE(readAll({input}, &whole), end);
    QCOMPARE(whole, expected);

    // Wherever the network splits the stream, the same replies come out.
    const int step = input.size() > 4096 ? 997 : 1;
    for (int cut = 1; cut < input.size(); cut += step) {
        Replies split;
        const QFtpReplyReader::Result result = readAll({input.left(cut), input.mid(cut)}, &split);
        QCOMPARE(result, end);
        QCOMPARE(split, expected);
    }
    if (input.size() <= 4096) {
        QList<QByteArray> bytes;
        for (char c : input)
            bytes << QByteArray(1, c);
        Replies trickled;
        QCOMPARE(readAll(bytes, &trickled), end);
        QCOMPARE(trickled, expected);
    }
}

void TestQFtpReplyReader::bufferStaysBounded()
{
    QFtpReplyReader reader;
    int code = 0;
    QString text;
    for (int i = 0; i < 20000; ++i) {
        reader.append("200 OK\r\n");
        QCOMPARE(reader.next(&code, &text), QFtpReplyReader::Reply);
        QVERIFY(reader.room() > QFtpReplyReader::MaxLineLength);
    }
    reader.append("200 partial");
    QCOMPARE(reader.next(&code, &text), QFtpReplyReader::NeedMore);
    QCOMPARE(reader.room(), QFtpReplyReader::MaxLineLength + 2 - 11);
}

QTEST_GUILESS_MAIN(TestQFtpReplyReader)
#include "tst_qftpreplyreader.moc"
