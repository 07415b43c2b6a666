// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppcastParser.h"

#include <QXmlStreamReader>

using namespace Qt::StringLiterals;

namespace {

constexpr QLatin1StringView sparkleNamespace("http://www.andymatuschak.org/xml-namespaces/sparkle");

bool isSparkle(const QXmlStreamReader &xml, QLatin1StringView name)
{
    return xml.namespaceUri() == sparkleNamespace && xml.name() == name;
}

bool isPlain(const QXmlStreamReader &xml, QLatin1StringView name)
{
    return xml.namespaceUri().isEmpty() && xml.name() == name;
}

QString sparkleAttribute(const QXmlStreamAttributes &attributes, QLatin1StringView name)
{
    return attributes.value(sparkleNamespace, name).trimmed().toString();
}

qint64 parseLength(QStringView text)
{
    bool ok = false;
    const qint64 length = text.trimmed().toLongLong(&ok);
    return ok && length >= 0 ? length : -1;
}

void readEnclosure(QXmlStreamReader &xml, AppcastItem &item)
{
    const QXmlStreamAttributes attributes = xml.attributes();
    item.enclosureUrl = QUrl(attributes.value("url"_L1).trimmed().toString(), QUrl::StrictMode);
    item.enclosureLength = parseLength(attributes.value("length"_L1));
    item.enclosureType = attributes.value("type"_L1).trimmed().toString();
    item.edSignature = sparkleAttribute(attributes, "edSignature"_L1);
    // Many feeds put the versions on the enclosure; an element in the item wins.
    if (item.version.isEmpty())
        item.version = sparkleAttribute(attributes, "version"_L1);
    if (item.shortVersionString.isEmpty())
        item.shortVersionString = sparkleAttribute(attributes, "shortVersionString"_L1);
    xml.skipCurrentElement();
}

QString readText(QXmlStreamReader &xml)
{
    return xml.readElementText(QXmlStreamReader::SkipChildElements).trimmed();
}

AppcastItem readItem(QXmlStreamReader &xml)
{
    AppcastItem item;
    QString elementVersion;
    QString elementShortVersion;
    while (xml.readNextStartElement()) {
        if (isPlain(xml, "title"_L1)) {
            item.title = readText(xml);
        } else if (isPlain(xml, "pubDate"_L1)) {
            item.pubDate = readText(xml);
            item.published = QDateTime::fromString(item.pubDate, Qt::RFC2822Date);
        } else if (isPlain(xml, "description"_L1)) {
            // Release notes may be inline markup rather than escaped text.
            item.description =
                xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
        } else if (isPlain(xml, "enclosure"_L1)) {
            readEnclosure(xml, item);
        } else if (isSparkle(xml, "version"_L1)) {
            elementVersion = readText(xml);
        } else if (isSparkle(xml, "shortVersionString"_L1)) {
            elementShortVersion = readText(xml);
        } else if (isSparkle(xml, "releaseNotesLink"_L1)) {
            item.releaseNotesLink = QUrl(readText(xml), QUrl::StrictMode);
        } else {
            xml.skipCurrentElement();
        }
    }
    if (!elementVersion.isEmpty())
        item.version = elementVersion;
    if (!elementShortVersion.isEmpty())
        item.shortVersionString = elementShortVersion;
    return item;
}

void readChannel(QXmlStreamReader &xml, QList<AppcastItem> &items)
{
    while (xml.readNextStartElement()) {
        if (!isPlain(xml, "item"_L1)) {
            xml.skipCurrentElement();
            continue;
        }
        AppcastItem item = readItem(xml);
        if (!item.version.isEmpty() && item.enclosureUrl.isValid() && !item.enclosureUrl.isEmpty())
            items.append(std::move(item));
    }
}

} // namespace

AppcastParser::Result AppcastParser::parse(const QByteArray &document)
{
    Result result;
    QXmlStreamReader xml(document);
    bool sawRss = false;
    while (!xml.atEnd() && !xml.hasError()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::DTD) {
            // A feed needs no document type; refusing it rules out entity expansion tricks.
            xml.raiseError(u"document type declarations are not accepted"_s);
        } else if (token == QXmlStreamReader::StartElement) {
            if (!isPlain(xml, "rss"_L1)) {
                xml.raiseError(u"the document is not RSS"_s);
                break;
            }
            sawRss = true;
            while (xml.readNextStartElement()) {
                if (isPlain(xml, "channel"_L1))
                    readChannel(xml, result.items);
                else
                    xml.skipCurrentElement();
            }
        }
    }
    if (xml.hasError()) {
        result.items.clear();
        result.error = xml.errorString();
    } else if (!sawRss) {
        result.error = u"the document is empty"_s;
    } else if (result.items.isEmpty()) {
        result.error = u"the feed lists no release with a version and a download"_s;
    }
    return result;
}
