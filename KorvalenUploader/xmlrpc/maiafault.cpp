#include "maiafault.h"

#include "maiaxmlwriter.h"

MaiaFault::MaiaFault(int faultCode, QString faultString, QObject *parent)
    : QObject(parent)
    , m_code(faultCode)
    , m_string(std::move(faultString))
{
}

QString MaiaFault::toString() const
{
    return MaiaXmlWriter::faultResponse(m_code, m_string);
}
