#include "maiaobject.h"

#include "maiaresponsereader.h"
#include "maiaxmlwriter.h"

#include <QDateTime>
#include <QDebug>
#include <QDomDocument>
#include <QDomImplementation>
#include <QPointer>

namespace {

const QString DateTimeFormat = QStringLiteral("yyyyMMddThh:mm:ss");

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

QDomElement buildValue(QDomDocument &doc, const QVariant &arg)
{
    QDomElement value = doc.createElement(QStringLiteral("value"));
    switch (arg.userType()) {
    case QMetaType::Bool:
        value.appendChild(
            textElement(doc, QStringLiteral("boolean"), arg.toBool() ? QStringLiteral("1") : QStringLiteral("0")));
        break;
    case QMetaType::Int:
        value.appendChild(textElement(doc, QStringLiteral("int"), QString::number(arg.toInt(), 10)));
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
            textElement(doc, QStringLiteral("dateTime.iso8601"), arg.toDateTime().toString(DateTimeFormat)));
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
    default: qDebug().nospace() << "Failed to marshal unknown variant type: " << arg.userType(); break;
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
    if (type == QLatin1String("i4") || type == QLatin1String("int")) {
        bool ok = false;
        const int v = typeElem.text().toInt(&ok, 10);
        return ok ? v : 0;
    }
    if (type == QLatin1String("double")) {
        bool ok = false;
        const double v = typeElem.text().toDouble(&ok);
        return ok ? v : 0.0;
    }
    if (type == QLatin1String("boolean")) {
        const QString text = typeElem.text();
        return text.toLower() == QLatin1String("true") || text == QLatin1String("1");
    }
    if (type == QLatin1String("base64"))
        return QByteArray::fromBase64(typeElem.text().toLatin1());
    if (type == QLatin1String("datetime") || type == QLatin1String("datetime.iso8601"))
        return QDateTime::fromString(typeElem.text(), DateTimeFormat);
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
    qDebug().nospace().noquote() << "Cannot demarshal unknown type " << type;
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
    {
        MaiaResponseReader reader(response);
        const MaiaResponseReader::Outcome outcome = reader.read();
        response.clear();
        switch (outcome) {
        case MaiaResponseReader::Response: {
            QVariant value = reader.value();
            emit aresponse(value, reply);
            break;
        }
        case MaiaResponseReader::Fault: {
            const QVariantMap fault = reader.value().toMap();
            emit this->fault(fault.value(QStringLiteral("faultCode")).toInt(),
                             fault.value(QStringLiteral("faultString")).toString(), reply);
            break;
        }
        case MaiaResponseReader::NotWellFormed:
            emit fault(-32700,
                       QStringLiteral("parse error: response not well formed at line %1: %2")
                           .arg(reader.errorLine())
                           .arg(reader.errorText()),
                       reply);
            break;
        case MaiaResponseReader::NotXmlRpc:
            emit fault(-32600, QStringLiteral("parse error: invalid xml-rpc. not conforming to spec."), reply);
            break;
        }
    }
    delete self.data();
}
