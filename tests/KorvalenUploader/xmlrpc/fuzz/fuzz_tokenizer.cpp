#include "maiaxmltokenizer.h"

#include <QString>
#include <QXmlStreamReader>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

// Differential check of the tokenizer's well-formedness verdict against
// QXmlStreamReader, an independent implementation. Documents with a DOCTYPE
// are left out: refusing them is deliberate. So is markup with non-ASCII
// characters: names follow XML 1.0 fifth edition here, an older edition there.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), int(size));
    if (text.contains(QLatin1String("<!DOCTYPE")))
        return 0;
    bool inMarkup = false;
    for (const QChar c : text) {
        if (c == QLatin1Char('<'))
            inMarkup = true;
        else if (c == QLatin1Char('>'))
            inMarkup = false;
        else if (inMarkup && c.unicode() >= 0x80)
            return 0;
    }

    MaiaXmlTokenizer ours(text);
    int elements = 0;
    while (!ours.atEnd()) {
        if (ours.readNext() == MaiaXmlTokenizer::StartElement)
            ++elements;
    }

    QXmlStreamReader theirs(text);
    theirs.setNamespaceProcessing(false);
    int theirElements = 0;
    while (!theirs.atEnd()) {
        if (theirs.readNext() == QXmlStreamReader::StartElement)
            ++theirElements;
    }

    if (ours.hasError() != theirs.hasError() || (!ours.hasError() && elements != theirElements)) {
        std::fprintf(stderr, "ours: %s / theirs: %s\n", qPrintable(ours.errorString()), qPrintable(theirs.errorString()));
        std::abort();
    }
    return 0;
}
