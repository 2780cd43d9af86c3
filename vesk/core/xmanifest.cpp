#include "core/xmanifest.h"

#include "platform/xplatform.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QRegularExpression>

#include <cmath>

namespace {
const int MaxTextLength = 200;
const int MinWindowSide = 100;
const int MaxWindowSide = 10000;

// Text that goes into window titles, desktop files and package fields: one line.
bool isPlainText(const QString &text)
{
    if (text.trimmed().isEmpty() || text.size() > MaxTextLength)
        return false;
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control || c == QChar(0x2028) || c == QChar(0x2029))
            return false;
    }
    return true;
}

bool isRelativeInside(const QString &path)
{
    if (path.isEmpty() || path.size() > 255 || path.startsWith(QLatin1Char('/')) || path.contains(QLatin1Char('\\'))
        || path.endsWith(QLatin1Char('/')) || !isPlainText(path))
        return false;
    const QStringList parts = path.split(QLatin1Char('/'));
    for (const QString &part : parts) {
        if (part.isEmpty() || part == QLatin1String(".") || part == QLatin1String(".."))
            return false;
    }
    return true;
}

bool toSide(const QJsonValue &value, int *side)
{
    if (!value.isDouble())
        return false;
    const double d = value.toDouble();
    if (d != std::floor(d) || d < MinWindowSide || d > MaxWindowSide)
        return false;
    *side = static_cast<int>(d);
    return true;
}
} // namespace

bool XManifest::isValidId(const QString &id)
{
    static const QRegularExpression pattern(QStringLiteral("^[a-z0-9][a-z0-9.+-]{1,63}$"));
    return pattern.match(id).hasMatch() && !id.contains(QLatin1String(".."));
}

bool XManifest::isValidVersion(const QString &version)
{
    static const QRegularExpression pattern(QStringLiteral("^[0-9][A-Za-z0-9.+~-]{0,63}$"));
    return pattern.match(version).hasMatch();
}

void XManifest::clear()
{
    m_problems.clear();
    m_id.clear();
    m_name.clear();
    m_version.clear();
    m_description.clear();
    m_icon.clear();
    m_windowTitle.clear();
    m_windowSize = QSize();
    m_singleInstance = false;
    m_rememberWindow = false;
}

void XManifest::load(const QString &file)
{
    clear();
    m_file = file;
    const QFileInfo info(file);
    if (!info.exists() && !info.isSymLink())
        return;
    QFile f;
    // Not a FIFO or a device: reading one could wait for ever.
    if (!XPlatform::openRegular(&f, file, QIODevice::ReadOnly)) {
        m_problems << QStringLiteral("%1: not a readable file, ignored").arg(file);
        return;
    }
    const QByteArray data = f.read(MaxFileSize + 1);
    if (data.size() > MaxFileSize) {
        m_problems << QStringLiteral("%1: larger than %2 bytes, ignored").arg(file).arg(MaxFileSize);
        return;
    }
    parse(data);
}

void XManifest::parse(const QByteArray &json)
{
    const QString file = m_file.isEmpty() ? QStringLiteral("manifest") : m_file;
    clear();
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError) {
        m_problems << QStringLiteral("%1: not valid JSON (%2 at byte %3), ignored")
                          .arg(file, error.errorString())
                          .arg(error.offset);
        return;
    }
    if (!document.isObject()) {
        m_problems << QStringLiteral("%1: not a JSON object, ignored").arg(file);
        return;
    }
    const QJsonObject object = document.object();
    auto ignored = [this, &file](const QString &key, const char *why) {
        m_problems << QStringLiteral("%1: \"%2\" ignored: %3").arg(file, key, QLatin1String(why));
    };
    auto text = [&object, &ignored](const QString &key, const char *why, bool (*valid)(const QString &)) {
        const QJsonValue value = object.value(key);
        if (value.isUndefined())
            return QString();
        if (!value.isString() || !valid(value.toString())) {
            ignored(key, why);
            return QString();
        }
        return value.toString();
    };
    m_id = text(QStringLiteral("id"), "must be 2 to 64 of a-z, 0-9, \".\", \"+\", \"-\", starting with a letter or digit",
                &XManifest::isValidId);
    m_name = text(QStringLiteral("name"), "must be one line of text of at most 200 characters", &isPlainText);
    m_version = text(QStringLiteral("version"), "must start with a digit and hold only A-Z, a-z, 0-9, \".+~-\"",
                     &XManifest::isValidVersion);
    m_description =
        text(QStringLiteral("description"), "must be one line of text of at most 200 characters", &isPlainText);
    m_icon = text(QStringLiteral("icon"), "must be a relative path inside app/", &isRelativeInside);
    const QJsonValue single = object.value(QStringLiteral("singleInstance"));
    if (single.isBool())
        m_singleInstance = single.toBool();
    else if (!single.isUndefined())
        ignored(QStringLiteral("singleInstance"), "must be true or false");
    const QJsonValue remember = object.value(QStringLiteral("rememberWindow"));
    if (remember.isBool())
        m_rememberWindow = remember.toBool();
    else if (!remember.isUndefined())
        ignored(QStringLiteral("rememberWindow"), "must be true or false");

    const QJsonValue window = object.value(QStringLiteral("window"));
    if (window.isUndefined())
        return;
    if (!window.isObject()) {
        ignored(QStringLiteral("window"), "must be an object");
        return;
    }
    const QJsonObject w = window.toObject();
    const QJsonValue title = w.value(QStringLiteral("title"));
    if (!title.isUndefined()) {
        if (title.isString() && isPlainText(title.toString()))
            m_windowTitle = title.toString();
        else
            ignored(QStringLiteral("window.title"), "must be one line of text of at most 200 characters");
    }
    const QJsonValue width = w.value(QStringLiteral("width"));
    const QJsonValue height = w.value(QStringLiteral("height"));
    if (width.isUndefined() && height.isUndefined())
        return;
    int wide = 0;
    int high = 0;
    if (toSide(width, &wide) && toSide(height, &high))
        m_windowSize = QSize(wide, high);
    else
        ignored(QStringLiteral("window.width/height"), "must both be whole numbers from 100 to 10000");
}
