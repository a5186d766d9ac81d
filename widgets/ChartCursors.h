// ChartCursors: two vertical and two horizontal measuring lines over one
// chart view, kept in axis units. They stay on their values when frames
// arrive, the axes are fitted or the view is panned or zoomed: only their
// drawn position follows the axes. A left-button drag that starts on a line
// (within kGrabPixels) moves that line and nothing else; every other press,
// drag and the wheel go to the view untouched, so pan and zoom work as
// without cursors. Values can also be typed (setValueText). A readout in the
// plot area's top-left corner is built by a function the owner supplies,
// since what it says (samples and seconds, levels per channel) depends on
// the panel. Off by default; only the GUI thread uses it.
#pragma once

#include <QObject>
#include <QString>

#include <array>
#include <functional>

class QGraphicsLineItem;
class QGraphicsSimpleTextItem;
class QWidget;
class InteractiveChartView;

namespace QtCharts {
class QChart;
class QValueAxis;
class QXYSeries;
}

class ChartCursors : public QObject
{
    Q_OBJECT

public:
    enum Line { X1 = 0, X2 = 1, Y1 = 2, Y2 = 3 };
    static constexpr int kLineCount = 4;
    // How close (in pixels) a press must be to a line to take it.
    static constexpr double kGrabPixels = 4.0;

    using Readout = std::function<QString(const ChartCursors&)>;

    // The view and its chart's value axes; the object is a child of view.
    explicit ChartCursors(InteractiveChartView* view);
    ~ChartCursors() override;

    // Shows or hides the lines and the readout. The first time on, the
    // lines are put at a third and two thirds of the visible ranges.
    void setActive(bool on);
    bool isActive() const { return active_; }

    double value(Line line) const { return values_[line]; }
    // Sets a line in axis units. Refused (false, nothing changes) for a
    // non-finite value or one outside the axis's visible range: a cursor
    // typed off the chart would be invisible and its readout puzzling.
    bool setValue(Line line, double value);
    // The same from typed text in the C or the system locale ("12.5",
    // "12,5"); text that is no number is refused.
    bool setValueText(Line line, const QString& text);

    void setReadout(Readout readout);
    // Re-reads the readout (the owner calls it when the shown data changed;
    // series given to watch() do it themselves).
    void updateReadout();
    QString readoutText() const;
    // Series whose new points change the readout (levels at the cursors).
    void watch(QtCharts::QXYSeries* series);

    // The line grabbed by the current drag, or -1.
    int grabbedLine() const { return grabbed_; }

    // Value of series at the point nearest x (by x), or NaN for an empty or
    // hidden series: what a trace shows at a cursor.
    static double valueAt(const QtCharts::QXYSeries* series, double x);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void place();
    int lineNear(const QPointF& chartPos) const;

    InteractiveChartView* view_ = nullptr;
    QWidget* viewport_ = nullptr;  // the view's viewport, whose mouse events are filtered
    QtCharts::QChart* chart_ = nullptr;
    QtCharts::QValueAxis* axisX_ = nullptr;
    QtCharts::QValueAxis* axisY_ = nullptr;
    std::array<QGraphicsLineItem*, kLineCount> lines_{};
    QGraphicsSimpleTextItem* text_ = nullptr;
    std::array<double, kLineCount> values_{};
    bool active_ = false;
    bool placed_ = false;
    int grabbed_ = -1;
    Readout readout_;
};
