// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "download/ui/seekbar.h"

#include "download/core/progress.h"

#include "common/ui/sharp.h"

#include <QAccessibleWidget>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>

namespace velmora {

namespace {

constexpr int kKnobWidthPx = kKnobWidth;
constexpr int kKnobHeightPx = kSeekHeight;

QImage MakeTexture()
{
    QImage img(1, SeekBar::kBarHeightPx, QImage::Format_ARGB32_Premultiplied);
    const QColor rows[SeekBar::kBarHeightPx] = {
        QColor(0xb9, 0xde, 0xff), QColor(0x8c, 0xc8, 0xff), QColor(0x5f, 0xb0, 0xf7),
        QColor(0x3a, 0x96, 0xea), QColor(0x22, 0x80, 0xdc), QColor(0x1b, 0x70, 0xc8),
        QColor(0x17, 0x62, 0xb2), QColor(0x13, 0x54, 0x9a), QColor(0x0f, 0x44, 0x80)};
    for (int y = 0; y < SeekBar::kBarHeightPx; ++y)
        img.setPixelColor(0, y, rows[y]);
    return img;
}

QImage MakeKnob(qreal dpr)
{
    QImage img = CanvasImage(QSize(kKnobWidthPx, kKnobHeightPx), dpr);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);

    const QColor edge(0x1b, 0x5f, 0xae);
    const QColor top(0xee, 0xf6, 0xff);
    const QColor bottom(0xb8, 0xd8, 0xf8);
    const QColor accent(0x22, 0x80, 0xdc);

    // The balloon above the bar, with its pointer down to the knob.
    QPainterPath balloon;
    balloon.addRoundedRect(QRectF(0.5, 4.5, 140.0, 58.0), 9, 9);
    QPainterPath pointer;
    pointer.moveTo(5.0, 55.0);
    pointer.lineTo(22.0, 55.0);
    pointer.lineTo(10.0, 80.0);
    pointer.closeSubpath();
    const QPainterPath shape = balloon.united(pointer);
    QLinearGradient fill(0, 4, 0, 80);
    fill.setColorAt(0, top);
    fill.setColorAt(1, bottom);
    p.setPen(QPen(edge, 1.0));
    p.setBrush(fill);
    p.drawPath(shape);

    // A download arrow in a ring.
    const QPointF c(30.0, 33.0);
    p.setPen(QPen(accent, 3.0));
    p.setBrush(Qt::white);
    p.drawEllipse(c, 17.0, 17.0);
    QPainterPath arrow;
    arrow.moveTo(c.x() - 4, c.y() - 10);
    arrow.lineTo(c.x() + 4, c.y() - 10);
    arrow.lineTo(c.x() + 4, c.y() + 1);
    arrow.lineTo(c.x() + 10, c.y() + 1);
    arrow.lineTo(c.x(), c.y() + 11);
    arrow.lineTo(c.x() - 10, c.y() + 1);
    arrow.lineTo(c.x() - 4, c.y() + 1);
    arrow.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(accent);
    p.drawPath(arrow);

    // Three stripes of falling length, like lines of received data.
    p.setBrush(edge);
    const qreal lengths[3] = {76.0, 60.0, 42.0};
    for (int i = 0; i < 3; ++i)
        p.drawRoundedRect(QRectF(56.0, 19.0 + i * 11.0, lengths[i], 6.0), 3, 3);

    // The knob itself, centred on the bar's middle line.
    const QPointF k(10.0, 88.5);
    QRadialGradient disc(k - QPointF(3, 3), 12.0);
    disc.setColorAt(0.0, Qt::white);
    disc.setColorAt(1.0, accent);
    p.setPen(QPen(edge, 1.5));
    p.setBrush(disc);
    p.drawEllipse(k, 9.0, 9.0);
    return img;
}

// The bar as screen readers see it: a progress bar whose value is the
// percentage the bar shows (0 to 100).
class SeekBarAccessible : public QAccessibleWidget, public QAccessibleValueInterface
{
public:
    explicit SeekBarAccessible(SeekBar *bar) : QAccessibleWidget(bar, QAccessible::ProgressBar) {}

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return QString::number(bar()->percent()) + QLatin1Char('%');
        return QAccessibleWidget::text(t);
    }
    QVariant currentValue() const override { return bar()->percent(); }
    void setCurrentValue(const QVariant &) override {}  // shows progress, takes no input
    QVariant maximumValue() const override { return 100; }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 1; }

private:
    SeekBar *bar() const { return static_cast<SeekBar *>(object()); }
};

QAccessibleInterface *SeekBarFactory(const QString &key, QObject *object)
{
    if (key == QLatin1String(SeekBar::staticMetaObject.className()))
        return new SeekBarAccessible(static_cast<SeekBar *>(object));
    return nullptr;
}

} // namespace

SeekBar::SeekBar(QWidget *parent) : QWidget(parent)
{
    static const bool accessible = [] {
        QAccessible::installFactory(SeekBarFactory);
        return true;
    }();
    Q_UNUSED(accessible);
    setObjectName(QStringLiteral("picSeek"));
    setAccessibleName(QStringLiteral("下载进度"));
    setFixedSize(kSeekWidth, kSeekHeight);
    // It only shows: no hand pointer and no hover look, since a click does nothing.
}

int SeekBar::percent() const
{
    constexpr int span = kSeekWidth - kKnobWidth;
    return int(std::lround(100.0 * std::clamp(m_seekLength, 0, span) / span));
}

QImage SeekBar::SeekTexture()
{
    static const QImage img = MakeTexture();
    return img;
}

QImage SeekBar::KnobPicture(qreal dpr)
{
    return MakeKnob(dpr);
}

int SeekBar::KnobPosition(float sngProgress)
{
    return KnobPositionFor(sngProgress);
}

void SeekBar::DrawSeek(int seekLength)
{
    const int before = percent();
    m_seekLength = seekLength;
    update();
    if (percent() != before && QAccessible::isActive()) {
        QAccessibleValueChangeEvent change(this, percent());
        QAccessible::updateAccessibility(&change);
    }
}

void SeekBar::setProgress(float sngProgress)
{
    DrawSeek(KnobPosition(sngProgress));
}

void SeekBar::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), palette().window());
    const int x = m_seekLength;
    if (x > 0)
        p.drawImage(QRect(0, kBarTopPx, x, kBarHeightPx), SeekTexture());
    if (m_knob.isNull() || !qFuzzyCompare(m_knob.devicePixelRatio(), devicePixelRatioF()))
        m_knob = KnobPicture(devicePixelRatioF());
    p.drawImage(QPoint(x, 0), m_knob);
}

} // namespace velmora
