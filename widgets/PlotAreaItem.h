// PlotAreaItem: the base of items drawn over a chart's plot area (the eye's
// hit counts, the constellation's error vectors). A child of the chart at a
// given stacking height, bounded by the plot area, which refresh() follows
// when the chart lays itself out again.
#pragma once

#include <QChart>
#include <QGraphicsItem>
#include <QRectF>

class PlotAreaItem : public QGraphicsItem
{
public:
    // Follows a change of the plot area; then repaints.
    void refresh()
    {
        const QRectF area = chart_ ? chart_->plotArea() : QRectF();
        if (area != area_) {
            prepareGeometryChange();
            area_ = area;
        }
        update();
    }

    QRectF boundingRect() const override { return area_; }

protected:
    PlotAreaItem(QtCharts::QChart* chart, qreal z) : QGraphicsItem(chart), chart_(chart)
    {
        setZValue(z);
        refresh();
    }

    QtCharts::QChart* chart_;
    QRectF area_;
};
