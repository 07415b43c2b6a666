// SPDX-License-Identifier: GPL-3.0-or-later
#include "MirelIcons.h"

#include <QFile>
#include <QGuiApplication>
#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <QPixmapCache>
#include <QSvgRenderer>

#include <optional>

using namespace Qt::StringLiterals;

namespace MirelIcons {

namespace {

const QString celebrationImage = u"CelebrationImage"_s;
const QString menuBarIcon = u"MenuBarIcon"_s;

bool isTinted(const QString &name)
{
    return name != celebrationImage;
}

QString resolvedName(const QString &name)
{
    return contains(name) ? name : u"doc.fill"_s;
}

QImage renderSvg(const QString &path, const QSize &pixelSize)
{
    QImage image(pixelSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QSvgRenderer renderer(path);
    if (!renderer.isValid())
        return image;
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QSizeF artSize =
        renderer.viewBoxF().size().scaled(QSizeF(pixelSize), Qt::KeepAspectRatio);
    const QPointF topLeft((pixelSize.width() - artSize.width()) / 2.0,
                          (pixelSize.height() - artSize.height()) / 2.0);
    renderer.render(&painter, QRectF(topLeft, artSize));
    return image;
}

// Keeps the shape's coverage and replaces its colour, so every symbol is one clean colour.
void tint(QImage &image, const QColor &color)
{
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(image.rect(), color);
}

QPixmap cachedPixmap(const QString &name, const QSize &size, const QColor &color, qreal ratio)
{
    const QString resolved = resolvedName(name);
    const QSize pixelSize = (QSizeF(size) * ratio).toSize().expandedTo(QSize(1, 1));
    const QString key = u"mirel-icon:%1:%2x%3:%4"_s.arg(resolved)
                            .arg(pixelSize.width())
                            .arg(pixelSize.height())
                            .arg(QString::number(isTinted(resolved) ? color.rgba() : 0u, 16));
    QPixmap cached;
    if (QPixmapCache::find(key, &cached)) {
        cached.setDevicePixelRatio(ratio);
        return cached;
    }
    QImage image = renderSvg(resourcePath(resolved), pixelSize);
    if (isTinted(resolved))
        tint(image, color);
    QPixmap result = QPixmap::fromImage(std::move(image));
    result.setDevicePixelRatio(ratio);
    QPixmapCache::insert(key, result);
    return result;
}

class TintedSvgIconEngine final : public QIconEngine
{
public:
    TintedSvgIconEngine(const QString &name, std::optional<QColor> color)
        : m_name(name)
        , m_color(color)
    {}

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        painter->drawPixmap(rect, scaledPixmap(rect.size(), mode, state, ratio));
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return scaledPixmap(size, mode, state, 1.0);
    }

    QPixmap scaledPixmap(const QSize &size, QIcon::Mode mode, QIcon::State, qreal scale) override
    {
        return cachedPixmap(m_name, size, colorFor(mode), scale);
    }

    QSize actualSize(const QSize &size, QIcon::Mode, QIcon::State) override { return size; }

    QIconEngine *clone() const override { return new TintedSvgIconEngine(m_name, m_color); }

    QString key() const override { return u"MirelTintedSvg"_s; }

    QString iconName() override { return m_name; }

    bool isNull() override { return false; }

private:
    QColor colorFor(QIcon::Mode mode) const
    {
        if (m_color) {
            QColor color = *m_color;
            if (mode == QIcon::Disabled)
                color.setAlphaF(color.alphaF() * 0.4f);
            return color;
        }
        const QPalette palette = QGuiApplication::palette();
        switch (mode) {
        case QIcon::Disabled:
            return palette.color(QPalette::Disabled, QPalette::WindowText);
        case QIcon::Selected:
            return palette.color(QPalette::Active, QPalette::HighlightedText);
        case QIcon::Normal:
        case QIcon::Active:
            break;
        }
        return palette.color(QPalette::Active, QPalette::WindowText);
    }

    QString m_name;
    std::optional<QColor> m_color;
};

} // namespace

const QStringList &symbolNames()
{
    static const QStringList names{
        u"doc.fill"_s,
        u"photo.fill"_s,
        u"video.fill"_s,
        u"music.note"_s,
        u"doc.zipper"_s,
        u"externaldrive.fill"_s,
        u"app.fill"_s,
        u"checkmark.circle.fill"_s,
        u"trash.fill"_s,
        u"trash"_s,
        u"folder.badge.plus"_s,
        u"gear"_s,
        u"arrow.clockwise"_s,
        u"power"_s,
        u"menubar.dock.rectangle"_s,
        u"arrow.down.circle.fill"_s,
        u"folder.fill"_s,
        u"minus.circle.fill"_s,
        u"plus"_s,
        u"play.fill"_s,
        u"pause.fill"_s,
        u"exclamationmark.triangle.fill"_s,
    };
    return names;
}

bool contains(const QString &name)
{
    return symbolNames().contains(name) || name == menuBarIcon || name == celebrationImage;
}

QString resourcePath(const QString &name)
{
    if (name == menuBarIcon || name == celebrationImage)
        return u":/images/"_s + name + u".svg"_s;
    if (symbolNames().contains(name))
        return u":/icons/"_s + name + u".svg"_s;
    return QString();
}

QIcon icon(const QString &name)
{
    return QIcon(new TintedSvgIconEngine(resolvedName(name), std::nullopt));
}

QIcon icon(const QString &name, const QColor &color)
{
    return QIcon(new TintedSvgIconEngine(resolvedName(name), color));
}

QPixmap pixmap(const QString &name, int size, const QColor &color, qreal devicePixelRatio)
{
    return pixmap(name, QSize(size, size), color, devicePixelRatio);
}

QPixmap pixmap(const QString &name, const QSize &size, const QColor &color, qreal devicePixelRatio)
{
    return cachedPixmap(name, size, color, devicePixelRatio);
}

} // namespace MirelIcons
