// Hit counts of an eye drawn through the chart's axes (see EyeImageItem.h).
#include "EyeImageItem.h"

#include "EyeHitImage.h"

#include <QChart>
#include <QImage>
#include <QPainter>
#include <QValueAxis>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <vector>

using h452::EyeHitImage;

namespace {

// Rare to frequent: dark blue, cyan, green, yellow, red; t in 0 .. 1.
QRgb scaleColour(double t)
{
    static const QColor stops[] = {QColor(30, 40, 160), QColor(0, 190, 230), QColor(40, 200, 60),
                                   QColor(245, 230, 40), QColor(230, 30, 30)};
    constexpr int last = int(std::size(stops)) - 1;
    const double u = std::clamp(t, 0.0, 1.0) * last;
    const int i = std::min(int(u), last - 1);
    const double f = u - i;
    const QColor& a = stops[i];
    const QColor& b = stops[i + 1];
    return qRgb(int(a.red() + (b.red() - a.red()) * f), int(a.green() + (b.green() - a.green()) * f),
                int(a.blue() + (b.blue() - a.blue()) * f));
}

} // namespace

EyeImageItem::EyeImageItem(QtCharts::QChart* chart, QtCharts::QValueAxis* axisX, QtCharts::QValueAxis* axisY)
    // Above the plot area's background and the (empty) eye series.
    : PlotAreaItem(chart, 10), axisX_(axisX), axisY_(axisY)
{
}

void EyeImageItem::setImage(const EyeHitImage* image, const QColor& colour)
{
    image_ = image;
    colour_ = colour;
    update();
}

void EyeImageItem::setColourScale(bool on)
{
    colourScale_ = on;
    update();
}

void EyeImageItem::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    if (!painter || !image_ || !axisX_ || !axisY_)
        return;
    render(*painter, area_, *image_, axisX_->min(), axisX_->max(), axisY_->min(), axisY_->max(), colour_,
           colourScale_);
}

void EyeImageItem::render(QPainter& painter, const QRectF& area, const EyeHitImage& image, double xMin,
                          double xMax, double yMin, double yMax, const QColor& colour, bool colourScale)
{
    const int w = int(std::floor(area.width()));
    const int h = int(std::floor(area.height()));
    const int cols = image.timeBins();
    if (w <= 0 || h <= 0 || cols < 2 || image.isEmpty() || !(xMax > xMin) || !(yMax > yMin)
        || !std::isfinite(xMax - xMin) || !std::isfinite(yMax - yMin))
        return;

    // Each cell covers the value bin's codes and half a sample either side
    // of its time; it is drawn at least one pixel each way, so a cell
    // smaller than a pixel (a zoomed-out axis) is never lost between pixels.
    // A pixel under several cells keeps the largest count.
    const double sx = w / (xMax - xMin);
    const double sy = h / (yMax - yMin);
    const double halfStep = 0.5 / (cols - 1);
    const int rowLo = std::clamp(EyeHitImage::valueBinOf(yMin), 0, h452::kEyeValueBins - 1);
    const int rowHi = std::clamp(EyeHitImage::valueBinOf(yMax), 0, h452::kEyeValueBins - 1);
    std::vector<std::uint32_t> pixels(std::size_t(w) * std::size_t(h), 0u);
    std::uint32_t most = 0;
    std::vector<int> x0(static_cast<std::size_t>(cols)), x1(static_cast<std::size_t>(cols));
    for (int c = 0; c < cols; ++c) {
        const double t = double(c) / (cols - 1);
        const double a = std::floor((t - halfStep - xMin) * sx);
        const double b = std::max(a + 1.0, std::ceil((t + halfStep - xMin) * sx));
        x0[std::size_t(c)] = int(std::clamp(a, 0.0, double(w)));
        x1[std::size_t(c)] = int(std::clamp(b, 0.0, double(w)));
    }
    for (int r = rowLo; r <= rowHi; ++r) {
        const double codeLo = h452::kEyeCodeMin + r * h452::kEyeCodeBinWidth;
        const double top = std::floor((yMax - (codeLo + h452::kEyeCodeBinWidth)) * sy);
        const double bottom = std::max(top + 1.0, std::ceil((yMax - codeLo) * sy));
        const int y0 = int(std::clamp(top, 0.0, double(h)));
        const int y1 = int(std::clamp(bottom, 0.0, double(h)));
        for (int c = 0; c < cols; ++c) {
            const std::uint32_t n = image.at(r, c);
            if (n == 0)
                continue;
            most = std::max(most, n);
            for (int y = y0; y < y1; ++y) {
                std::uint32_t* line = pixels.data() + std::size_t(y) * std::size_t(w);
                for (int x = x0[std::size_t(c)]; x < x1[std::size_t(c)]; ++x)
                    line[x] = std::max(line[x], n);
            }
        }
    }
    if (most == 0)
        return;

    QImage out(w, h, QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    const QRgb plain = colour.rgb();
    const double logMost = std::log1p(double(most));
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        const std::uint32_t* counts = pixels.data() + std::size_t(y) * std::size_t(w);
        for (int x = 0; x < w; ++x)
            if (counts[x] > 0)
                line[x] = colourScale ? scaleColour(std::log1p(double(counts[x])) / logMost) : plain;
    }
    painter.drawImage(QPointF(std::floor(area.left()), std::floor(area.top())), out);
}
