#include "ui/widgets/band_strip.h"

#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace rw::ui {

class BandStrip::Axis : public QWidget {
public:
    explicit Axis(QWidget* parent) : QWidget(parent) {
        setMinimumHeight(3 * fontMetrics().height() + 10);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }
    QSize sizeHint() const override { return {240, minimumHeight()}; }

    double top = 0;
    std::vector<StripBand> bands;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QFontMetrics fm = fontMetrics();
        const int lineH = fm.height();
        // The drawn range takes in bands that stick out, so that their error shows.
        double lo = 0, hi = top;
        for (const StripBand& b : bands) {
            lo = std::min(lo, b.low);
            hi = std::max(hi, b.high);
        }
        if (!(hi > lo)) return;
        const QRectF area(4, lineH + 4, width() - 8, height() - 2 * lineH - 10);
        auto x = [&](double mhz) { return area.left() + (mhz - lo) / (hi - lo) * area.width(); };
        // The usable range, and the axis under it.
        p.fillRect(QRectF(QPointF(x(0), area.top()), QPointF(x(top), area.bottom())),
                   palette().color(QPalette::Base));
        p.setPen(palette().color(QPalette::Mid));
        p.drawRect(QRectF(QPointF(x(0), area.top()), QPointF(x(top), area.bottom())));
        p.setPen(palette().color(QPalette::WindowText));
        const double axisY = area.bottom() + 2 + fm.ascent();
        p.drawText(QPointF(x(0), axisY), QStringLiteral("0"));
        const QString topText = QString::number(top, 'f', 2) + QStringLiteral(" MHz");
        p.drawText(QPointF(std::max(x(0), x(top) - fm.horizontalAdvance(topText)), axisY), topText);
        QRectF firstLabel;
        for (const StripBand& b : bands) {
            const QColor fill =
                b.bad ? QColor(0xd0, 0x20, 0x20)
                      : (b.downstream ? QColor(0x2e, 0x7d, 0xd1) : QColor(0x2e, 0x9d, 0x5a));
            QRectF r(QPointF(x(b.low), area.top() + 3), QPointF(x(b.high), area.bottom() - 3));
            if (r.width() < 2) r.setWidth(2);
            QColor translucent = fill;
            translucent.setAlpha(150);
            p.setPen(QPen(fill, 1.5));
            p.setBrush(translucent);
            p.drawRect(r);
            p.drawLine(QPointF(x(b.centre), r.top()), QPointF(x(b.centre), r.bottom()));
            // The label above its band, kept inside the strip; a second label that would
            // run into the first goes under the strip, between the axis ends.
            const int w = fm.horizontalAdvance(b.label);
            const double lx = std::clamp(x(b.centre) - w / 2.0, 0.0, double(width() - w));
            QRectF label(lx, 0, w, lineH);
            if (firstLabel.isValid() && label.adjusted(-6, 0, 6, 0).intersects(firstLabel))
                label.moveTop(axisY - fm.ascent());
            p.setPen(b.bad ? fill : palette().color(QPalette::WindowText));
            p.drawText(QPointF(label.left(), label.top() + fm.ascent()), b.label);
            if (!firstLabel.isValid()) firstLabel = label;
        }
    }
};

BandStrip::BandStrip(QWidget* parent) : QWidget(parent) {
    auto* l = new QVBoxLayout(this);
    l->setContentsMargins(0, 4, 0, 0);
    l->setSpacing(2);
    axis_ = new Axis(this);
    warning_ = new QLabel(this);
    warning_->setTextFormat(Qt::PlainText);
    warning_->setWordWrap(true);
    warning_->setStyleSheet(QStringLiteral("color: #c01010;"));
    warning_->hide();
    l->addWidget(axis_);
    l->addWidget(warning_);
    setObjectName(QStringLiteral("BandStrip"));
}

void BandStrip::setPlan(double top, std::vector<StripBand> bands, const QString& warning) {
    axis_->top = top;
    axis_->bands = std::move(bands);
    warning_->setText(warning);
    warning_->setVisible(!warning.isEmpty());
    setToolTip(warning);
    axis_->update();
}

QString BandStrip::warning() const {
    return warning_->text();
}

} // namespace rw::ui
