#include "maiaobject.h"

#include "maiafault.h"
#include "maialogging.h"
#include "maiaresponsereader.h"
#include "maiascalar.h"
#include "maiaxmlwriter.h"

#include <QDateTime>
#include <QDebug>
#include <QDomDocument>
#include <QDomImplementation>
#include <QPointer>

namespace {

QDomElement textElement(QDomDocument &doc, const QString &tag, const QString &text)
{
    QDomElement elem = doc.createElement(tag);
    // The DOM's drop policy also drops valid surrogate pairs (emoji), and
    // setData() bypasses it, so the text is filtered here instead.
    QDomText node = doc.createTextNode(QString());
    node.setData(MaiaXmlWriter::dropInvalidChars(text));
    elem.appendChild(node);
    return elem;
}

QDomElement buildValue(QDomDocument &doc, const QVariant &original)
{
    QDomElement value = doc.createElement(QStringLiteral("value"));
    QVariant arg = original;
    if (!MaiaXmlWriter::normalise(&arg)) {
        qCDebug(lcMaia).nospace() << "Failed to marshal unknown variant type: " << original.userType();
        return value;
    }
    switch (arg.userType()) {
    case QMetaType::Bool:
        value.appendChild(
            textElement(doc, QStringLiteral("boolean"), arg.toBool() ? QStringLiteral("1") : QStringLiteral("0")));
        break;
    case QMetaType::Int:
        value.appendChild(textElement(doc, QStringLiteral("int"), QString::number(arg.toInt(), 10)));
        break;
    case QMetaType::LongLong:
        value.appendChild(textElement(doc, QStringLiteral("i8"), QString::number(arg.toLongLong(), 10)));
        break;
    case QMetaType::Double:
        value.appendChild(textElement(doc, QStringLiteral("double"), MaiaXmlWriter::formatDouble(arg.toDouble())));
        break;
    case QMetaType::QString: value.appendChild(textElement(doc, QStringLiteral("string"), arg.toString())); break;
    case QMetaType::QByteArray:
        value.appendChild(
            textElement(doc, QStringLiteral("base64"), QString::fromLatin1(arg.toByteArray().toBase64())));
        break;
    case QMetaType::QDateTime:
        // The tag as the published XML-RPC protocol writes it; readers that
        // compare tags exactly (Python's) would take anything else as text.
        value.appendChild(
            textElement(doc, QStringLiteral("dateTime.iso8601"), MaiaScalar::writeDateTime(arg.toDateTime())));
        break;
    case QMetaType::QVariantList: {
        QDomElement array = doc.createElement(QStringLiteral("array"));
        QDomElement data = doc.createElement(QStringLiteral("data"));
        const QVariantList list = arg.toList();
        for (const QVariant &item : list)
            data.appendChild(buildValue(doc, item));
        array.appendChild(data);
        value.appendChild(array);
        break;
    }
    case QMetaType::QVariantMap: {
        QDomElement strct = doc.createElement(QStringLiteral("struct"));
        const QVariantMap map = arg.toMap();
        for (auto it = map.constBegin(); it != map.constEnd(); ++it) {
            QDomElement member = doc.createElement(QStringLiteral("member"));
            member.appendChild(textElement(doc, QStringLiteral("name"), it.key()));
            member.appendChild(buildValue(doc, it.value()));
            strct.appendChild(member);
        }
        value.appendChild(strct);
        break;
    }
    default: break;
    }
    return value;
}

} // namespace

MaiaObject::MaiaObject(QObject *parent)
    : QObject(parent)
{
    QDomImplementation::setInvalidDataPolicy(QDomImplementation::DropInvalidChars);
}

QDomElement MaiaObject::toXml(QVariant arg)
{
    QDomDocument doc;
    return buildValue(doc, arg);
}

QVariant MaiaObject::fromXml(const QDomElement &elem)
{
    if (elem.tagName().toLower() != QLatin1String("value"))
        return QVariant();

    const QDomElement typeElem = elem.firstChild().toElement();
    if (typeElem.isNull())
        return elem.text();

    const QString type = typeElem.tagName().toLower();
    if (type == QLatin1String("string"))
        return typeElem.text();
    QVariant scalar;
    bool known = true;
    bool ok = false;
    if (type == QLatin1String("i4") || type == QLatin1String("int") || type == QLatin1String("i8"))
        ok = MaiaScalar::readInteger(typeElem.text(), type == QLatin1String("i8"), &scalar);
    else if (type == QLatin1String("double"))
        ok = MaiaScalar::readDouble(typeElem.text(), &scalar);
    else if (type == QLatin1String("boolean"))
        ok = MaiaScalar::readBoolean(typeElem.text(), &scalar);
    else if (type == QLatin1String("base64"))
        ok = MaiaScalar::readBase64(typeElem.text(), &scalar);
    else
        known = false;
    if (known) {
        // No value is made up for text that is not one of its type.
        if (!ok)
            qCDebug(lcMaia).nospace().noquote() << "Invalid " << type << " value: " << typeElem.text().left(64);
        return scalar;
    }
    if (type == QLatin1String("datetime") || type == QLatin1String("datetime.iso8601"))
        return MaiaScalar::readDateTime(typeElem.text());
    if (type == QLatin1String("nil"))
        return QVariant();
    if (type == QLatin1String("array")) {
        QVariantList list;
        const QDomNodeList items = typeElem.firstChild().childNodes();
        for (int i = 0; i < items.count(); ++i)
            list.append(fromXml(items.at(i).toElement()));
        return list;
    }
    if (type == QLatin1String("struct")) {
        QVariantMap map;
        const QDomNodeList members = typeElem.childNodes();
        for (int i = 0; i < members.count(); ++i) {
            const QDomElement member = members.at(i).toElement();
            map.insert(member.firstChildElement(QStringLiteral("name")).text(),
                       fromXml(member.firstChildElement(QStringLiteral("value"))));
        }
        return map;
    }
    qCDebug(lcMaia).nospace().noquote() << "Cannot demarshal unknown type " << type;
    return QVariant();
}

QString MaiaObject::prepareCall(QString method, QVariantList args)
{
    return MaiaXmlWriter::methodCall(method, args);
}

QString MaiaObject::prepareResponse(QVariant value)
{
    return MaiaXmlWriter::methodResponse(value);
}

void MaiaObject::parseResponse(QString response, QNetworkReply *reply)
{
    // A receiver may destroy our parent, and with it this object.
    QPointer<MaiaObject> self(this);
    MaiaResponseReader::Outcome outcome;
    QVariant value;
    qint64 errorLine = 0;
    QString errorText;
    {
        // The document goes before the receivers run; they only need the value.
        MaiaResponseReader reader(response);
        response = QString();
        outcome = reader.read();
        value = reader.value();
        errorLine = reader.errorLine();
        errorText = reader.errorText();
    }
    switch (outcome) {
    case MaiaResponseReader::Response: {
        emit aresponse(value, reply);
        break;
    }
    case MaiaResponseReader::Fault: {
        const QVariantMap fault = value.toMap();
        emit this->fault(fault.value(QStringLiteral("faultCode")).toInt(),
                         fault.value(QStringLiteral("faultString")).toString(), reply);
        break;
    }
    case MaiaResponseReader::NotWellFormed:
        emit fault(MaiaFault::NotWellFormed,
                   QStringLiteral("parse error: response not well formed at line %1: %2").arg(errorLine).arg(errorText),
                   reply);
        break;
    case MaiaResponseReader::InvalidValue:
        emit fault(MaiaFault::NotWellFormed,
                   QStringLiteral("parse error: invalid value at line %1: %2").arg(errorLine).arg(errorText), reply);
        break;
    case MaiaResponseReader::NotXmlRpc:
        emit fault(MaiaFault::NotXmlRpc, QStringLiteral("parse error: invalid xml-rpc. not conforming to spec."),
                   reply);
        break;
    }
    // Deferred: this runs inside the caller's call chain, and a receiver may still be on the stack.
    if (self)
        deleteLater();
}

void MaiaObject::deliverFault(int code, const QString &text, QNetworkReply *reply)
{
    QPointer<MaiaObject> self(this);
    emit fault(code, text, reply);
    if (self)
        deleteLater();
}
