#include "maiaxmltokenizer.h"

#include <QRegularExpression>
#include <QString>
#include <QTextCodec>
#include <QXmlStreamReader>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

// QXmlStreamReader only reads version 1.0 and the encodings QTextCodec
// knows; XML 1.0 allows any "1.x" and any encoding name.
bool declarationBeyondReference(const QString &text)
{
    static const QRegularExpression declaration(
        QStringLiteral("^\\x{FEFF}?<\\?xml\\s+version\\s*=\\s*(['\"])(.*?)\\1(\\s+encoding\\s*=\\s*(['\"])(.*?)\\4)?"));
    const QRegularExpressionMatch match = declaration.match(text);
    if (!match.hasMatch())
        return false;
    if (match.captured(2) != QLatin1String("1.0"))
        return true;
    return !match.captured(5).isEmpty() && !QTextCodec::codecForName(match.captured(5).toLatin1());
}

} // namespace

// Differential check of the tokenizer's well-formedness verdict against
// QXmlStreamReader, an independent implementation. Documents with a DOCTYPE
// are left out: refusing them is deliberate. So is markup with non-ASCII
// characters: names follow XML 1.0 fifth edition here, an older edition there.
// So are colons in markup, which the reference reads as namespace syntax even
// with namespace processing off. So are declarations the reference cannot read, and start tags over our
// attribute cap.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), int(size));
    if (text.contains(QLatin1String("<!DOCTYPE")) || declarationBeyondReference(text))
        return 0;
    bool inMarkup = false;
    for (const QChar c : text) {
        if (c == QLatin1Char('<'))
            inMarkup = true;
        else if (c == QLatin1Char('>'))
            inMarkup = false;
        else if (inMarkup && (c.unicode() >= 0x80 || c == QLatin1Char(':')))
            return 0;
    }

    MaiaXmlTokenizer ours(text);
    int elements = 0;
    while (!ours.atEnd()) {
        if (ours.readNext() == MaiaXmlTokenizer::StartElement)
            ++elements;
    }

    if (ours.errorString().endsWith(QLatin1String("attributes on one element")))
        return 0;

    QXmlStreamReader theirs(text);
    theirs.setNamespaceProcessing(false);
    int theirElements = 0;
    while (!theirs.atEnd()) {
        if (theirs.readNext() == QXmlStreamReader::StartElement)
            ++theirElements;
    }

    if (ours.hasError() != theirs.hasError() || (!ours.hasError() && elements != theirElements)) {
        std::fprintf(stderr, "ours: %s / theirs: %s\n", qPrintable(ours.errorString()),
                     qPrintable(theirs.errorString()));
        std::abort();
    }
    return 0;
}
