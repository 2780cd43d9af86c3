// libFuzzer target for the reply reader and the listing parser.
// Build: cmake -DQFTP_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ ...; run: qftp-fuzz -max_total_time=300 corpus/
#include "qftpdtp.h"
#include "qftpreplyreader.h"

#include <cstddef>
#include <cstdint>

namespace {

void fuzzReplies(const QByteArray &data, int chunk)
{
    QFtpReplyReader reader;
    for (int pos = 0; pos < data.size(); pos += chunk) {
        reader.append(data.mid(pos, chunk));
        int code = 0;
        QString text;
        for (;;) {
            const QFtpReplyReader::Result r = reader.next(&code, &text);
            if (r == QFtpReplyReader::Reply) {
                if (code < 100 || code > 559
                    || text.size() > QFtpReplyReader::MaxReplyLength + QFtpReplyReader::MaxLineLength)
                    __builtin_trap();
                continue;
            }
            break;
        }
        if (reader.room() < 0)
            __builtin_trap();
    }
}

void fuzzListing(const QByteArray &data, int chunk)
{
    QFtpDTP dtp;
    for (int pos = 0; pos < data.size(); pos += chunk) {
        if (!dtp.feedListing(data.mid(pos, chunk)))
            break;
    }
    dtp.finishListing();
    QUrlInfo info;
    QFtpDTP::parseDir(QString::fromLatin1(data), QStringLiteral("ftp"), &info);
}

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    if (size < 1)
        return 0;
    const QByteArray data(reinterpret_cast<const char *>(bytes) + 1, int(size - 1));
    const int chunk = 1 + (bytes[0] >> 1);
    if (bytes[0] & 1)
        fuzzListing(data, chunk);
    else
        fuzzReplies(data, chunk);
    return 0;
}
