// SymbolErrorItem: draws, over the constellation chart, the ideal point each
// symbol of the last frame was decided to (a small white square) and the
// error vector from it to the measured symbol (a line in the channel's
// colour), mapped through the chart's axes at every paint. Both are in the
// ideal set's scale, the scale of the reference outline.
#pragma once

#include "PlotAreaItem.h"

#include <QColor>

#include <array>
#include <vector>

class SymbolErrorItem : public PlotAreaItem
{
public:
    explicit SymbolErrorItem(QtCharts::QChart* chart);

    // One channel's symbols: measured (mi, mq) and decided ideal (ii, iq),
    // the same count each; empty vectors clear the channel.
    void setSymbols(int channel, const QColor& colour, std::vector<double> mi, std::vector<double> mq,
                    std::vector<double> ii, std::vector<double> iq);
    void clear();
    bool isEmpty() const;

    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

private:
    struct Channel {
        QColor colour;
        std::vector<double> mi, mq, ii, iq;
    };
    std::array<Channel, 4> channels_;
};
