// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReleaseNotesHtml.h"

#include <QUrl>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// Elements kept as they are, without any attribute.
constexpr QLatin1StringView keptElements[] = {
    "p"_L1,   "br"_L1,  "hr"_L1,  "h1"_L1,    "h2"_L1,     "h3"_L1,   "h4"_L1,         "h5"_L1,
    "h6"_L1,  "ul"_L1,  "ol"_L1,  "li"_L1,    "dl"_L1,     "dt"_L1,   "dd"_L1,         "b"_L1,
    "i"_L1,   "u"_L1,   "s"_L1,   "em"_L1,    "strong"_L1, "code"_L1, "pre"_L1,        "tt"_L1,
    "kbd"_L1, "sub"_L1, "sup"_L1, "small"_L1, "span"_L1,   "div"_L1,  "blockquote"_L1,
};

// Block elements Qt does not know or that could carry a background: kept as plain blocks.
constexpr QLatin1StringView blockElements[] = {
    "section"_L1, "article"_L1, "header"_L1,     "footer"_L1, "main"_L1, "aside"_L1,
    "nav"_L1,     "figure"_L1,  "figcaption"_L1, "table"_L1,  "tr"_L1,   "details"_L1,
    "summary"_L1, "center"_L1,  "address"_L1,    "body"_L1,
};

// Elements whose content is not text to show: dropped with everything in them.
constexpr QLatin1StringView droppedWithContent[] = {
    "script"_L1,   "style"_L1,    "title"_L1,    "textarea"_L1, "xmp"_L1, "iframe"_L1, "noembed"_L1,
    "noframes"_L1, "noscript"_L1, "template"_L1, "object"_L1,   "svg"_L1, "math"_L1,
};

template<std::size_t N> bool isOneOf(const QString &name, const QLatin1StringView (&list)[N])
{
    for (const QLatin1StringView entry : list) {
        if (name == entry)
            return true;
    }
    return false;
}

bool isAsciiLetter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool isNameCharacter(QChar c)
{
    return isAsciiLetter(c) || (c >= u'0' && c <= u'9') || c == u'-' || c == u'_' || c == u':';
}

// Text to show, escaped again; control characters other than line breaks and tabs are
// dropped.
void appendText(QString &out, char32_t c)
{
    if ((c < 0x20 && c != u'\n' && c != u'\t' && c != u'\r') || c == 0x7F || c > 0x10FFFF ||
        (c >= 0xD800 && c <= 0xDFFF))
        return;
    if (c == u'<')
        out += "&lt;"_L1;
    else if (c == u'>')
        out += "&gt;"_L1;
    else if (c == u'&')
        out += "&amp;"_L1;
    else if (c == u'"')
        out += "&quot;"_L1;
    else if (QChar::requiresSurrogates(c))
        out += QChar(QChar::highSurrogate(c)) + QChar(QChar::lowSurrogate(c));
    else
        out += QChar(c);
}

// The character reference starting at html[i] (which is '&'). Numeric ones are decoded;
// a named one is passed on for Qt to decode, since it can only ever stand for text.
// Anything else is a plain ampersand.
qsizetype appendReference(QString &out, QStringView html, qsizetype i)
{
    qsizetype end = i + 1;
    if (end < html.size() && html[end] == u'#') {
        ++end;
        const bool hex = end < html.size() && (html[end] == u'x' || html[end] == u'X');
        if (hex)
            ++end;
        const qsizetype digits = end;
        while (end < html.size() && end - digits < 8 &&
               (hex ? isAsciiLetter(html[end]) || html[end].isDigit() : html[end].isDigit()))
            ++end;
        bool ok = false;
        const uint value = html.mid(digits, end - digits).toUInt(&ok, hex ? 16 : 10);
        if (ok && end < html.size() && html[end] == u';') {
            appendText(out, value);
            return end + 1;
        }
    } else {
        while (end < html.size() && end - i <= 32 &&
               (isAsciiLetter(html[end]) || html[end].isDigit()))
            ++end;
        if (end > i + 1 && end < html.size() && html[end] == u';') {
            out += html.mid(i, end + 1 - i);
            return end + 1;
        }
    }
    out += "&amp;"_L1;
    return i + 1;
}

// Attribute values may hold character references; only a link's address is ever needed.
QString decodedValue(QStringView value)
{
    QString text;
    for (qsizetype i = 0; i < value.size();) {
        if (value[i] != u'&') {
            text += value[i++];
            continue;
        }
        QString piece;
        i = appendReference(piece, value, i);
        // Named references other than the common ones are left as written.
        piece.replace("&lt;"_L1, "<"_L1).replace("&gt;"_L1, ">"_L1);
        piece.replace("&quot;"_L1, "\""_L1).replace("&apos;"_L1, "'"_L1);
        piece.replace("&amp;"_L1, "&"_L1);
        text += piece;
    }
    return text;
}

struct Tag
{
    QString name; // lower case
    bool closing = false;
    QString href; // as written, references decoded
    qsizetype end = 0;
};

// Reads the tag starting at html[i] ('<' followed by a letter, or "</" and a letter).
Tag readTag(QStringView html, qsizetype i)
{
    Tag tag;
    qsizetype p = i + 1;
    tag.closing = html[p] == u'/';
    if (tag.closing)
        ++p;
    const qsizetype nameStart = p;
    while (p < html.size() && isNameCharacter(html[p]))
        ++p;
    tag.name = html.mid(nameStart, p - nameStart).toString().toLower();
    while (p < html.size() && html[p] != u'>') {
        if (html[p].isSpace() || html[p] == u'/') {
            ++p;
            continue;
        }
        const qsizetype attributeStart = p;
        while (p < html.size() && !html[p].isSpace() && html[p] != u'=' && html[p] != u'>')
            ++p;
        const QString attribute = html.mid(attributeStart, p - attributeStart).toString().toLower();
        while (p < html.size() && html[p].isSpace())
            ++p;
        if (p >= html.size() || html[p] != u'=')
            continue;
        ++p;
        while (p < html.size() && html[p].isSpace())
            ++p;
        qsizetype valueStart = p;
        qsizetype valueEnd = p;
        if (p < html.size() && (html[p] == u'"' || html[p] == u'\'')) {
            const QChar quote = html[p];
            valueStart = p + 1;
            valueEnd = html.indexOf(quote, valueStart);
            if (valueEnd < 0)
                valueEnd = html.size();
            p = std::min(valueEnd + 1, html.size());
        } else {
            while (p < html.size() && !html[p].isSpace() && html[p] != u'>')
                ++p;
            valueEnd = p;
        }
        if (attribute == "href"_L1)
            tag.href = decodedValue(html.mid(valueStart, valueEnd - valueStart));
    }
    tag.end = p < html.size() ? p + 1 : html.size();
    return tag;
}

// Where the content of a dropped element ends: after its end tag, or at the end.
qsizetype skipContent(QStringView html, qsizetype from, const QString &name)
{
    const QString endTag = "</"_L1 + name;
    for (qsizetype at = html.indexOf(endTag, from, Qt::CaseInsensitive); at >= 0;
         at = html.indexOf(endTag, at + 1, Qt::CaseInsensitive)) {
        const qsizetype after = at + endTag.size();
        if (after < html.size() && isNameCharacter(html[after]))
            continue; // a longer name, such as </styles
        const qsizetype close = html.indexOf(u'>', after);
        return close < 0 ? html.size() : close + 1;
    }
    return html.size();
}

QString secureLink(const QString &href)
{
    const QUrl url(href.trimmed(), QUrl::StrictMode);
    if (!url.isValid() || url.scheme() != "https"_L1 || url.host().isEmpty())
        return {};
    return url.toString(QUrl::FullyEncoded).toHtmlEscaped();
}

} // namespace

QString ReleaseNotesHtml::sanitised(QStringView html)
{
    QString out;
    bool linkOpen = false;
    qsizetype i = 0;
    while (i < html.size()) {
        const QChar c = html[i];
        if (c == u'&') {
            i = appendReference(out, html, i);
            continue;
        }
        if (c != u'<') {
            const char32_t code =
                c.isHighSurrogate() && i + 1 < html.size() && html[i + 1].isLowSurrogate()
                    ? QChar::surrogateToUcs4(c, html[i + 1])
                    : c.unicode();
            appendText(out, code);
            i += code > 0xFFFF ? 2 : 1;
            continue;
        }
        const QStringView rest = html.mid(i);
        if (rest.startsWith("<!--"_L1)) {
            const qsizetype end = html.indexOf("-->"_L1, i + 4);
            i = end < 0 ? html.size() : end + 3;
            continue;
        }
        if (rest.startsWith(u"<!") || rest.startsWith(u"<?")) {
            const qsizetype end = html.indexOf(u'>', i);
            i = end < 0 ? html.size() : end + 1;
            continue;
        }
        const qsizetype nameAt = rest.startsWith(u"</") ? i + 2 : i + 1;
        if (nameAt >= html.size() || !isAsciiLetter(html[nameAt])) {
            appendText(out, u'<');
            ++i;
            continue;
        }
        const Tag tag = readTag(html, i);
        i = tag.end;
        if (!tag.closing && isOneOf(tag.name, droppedWithContent)) {
            i = skipContent(html, i, tag.name);
        } else if (tag.name == "a"_L1) {
            if (linkOpen)
                out += "</a>"_L1;
            linkOpen = false;
            const QString link = tag.closing ? QString() : secureLink(tag.href);
            if (!link.isEmpty()) {
                out += "<a href=\""_L1 + link + "\">"_L1;
                linkOpen = true;
            }
        } else if (tag.name == "br"_L1 || tag.name == "hr"_L1) {
            if (!tag.closing)
                out += u'<' + tag.name + u'>';
        } else if (isOneOf(tag.name, keptElements)) {
            out += (tag.closing ? "</"_L1 : "<"_L1) + tag.name + u'>';
        } else if (isOneOf(tag.name, blockElements)) {
            out += tag.closing ? "</div>"_L1 : "<div>"_L1;
        } else if (tag.name == "td"_L1 || tag.name == "th"_L1) {
            out += u' '; // cells of a row stay apart
        }
    }
    if (linkOpen)
        out += "</a>"_L1;
    return out;
}
