// EyeImageItem: draws an eye's hit counts (EyeHitImage) inside a chart's
// plot area, mapped through the chart's current axis ranges at every paint.
// The counts are kept in ADC codes and trace samples, so a fit or a zoom only
// changes the mapping: the history is neither cleared nor smeared.
//
// Two looks: by default every cell a trace passed is drawn in the channel's
// colour, which is what a line series of the same traces shows; with the
// colour scale on, cells go from dark blue (rare) through green and yellow to
// red (frequent), on a logarithmic scale of the hits against the most hit
// cell in view.
#pragma once

#include "PlotAreaItem.h"

#include <QColor>

namespace QtCharts {
class QValueAxis;
}

namespace h452 {
class EyeHitImage;
}

class EyeImageItem : public PlotAreaItem
{
public:
    // A child of the chart; the axes are the chart's, read at each paint.
    EyeImageItem(QtCharts::QChart* chart, QtCharts::QValueAxis* axisX, QtCharts::QValueAxis* axisY);

    // The counts to draw (null: nothing) and their colour; the image must
    // outlive the item or be replaced before it goes.
    void setImage(const h452::EyeHitImage* image, const QColor& colour);
    void setColourScale(bool on);
    bool colourScale() const { return colourScale_; }

    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

    // Draws the counts into area, x range [xMin, xMax] over the trace time
    // 0 .. 1 and y range [yMin, yMax] in codes. Usable without a scene.
    static void render(QPainter& painter, const QRectF& area, const h452::EyeHitImage& image, double xMin,
                       double xMax, double yMin, double yMax, const QColor& colour, bool colourScale);

private:
    QtCharts::QValueAxis* axisX_;
    QtCharts::QValueAxis* axisY_;
    const h452::EyeHitImage* image_ = nullptr;
    QColor colour_;
    bool colourScale_ = false;
};
