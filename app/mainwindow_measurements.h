// The measurements panel's second view: the IEEE 1241 figure set with its
// harmonic table, statistics and warnings, beside the table's own view.
//
// The table's own view (statTable) stays the default and is left exactly as
// it is; this view only adds, in the panel's title bar, a switch ("标准")
// and a Reset button, tooltips on statTable's column headers saying how
// each figure is counted, and, in the table's view, the warnings as the
// tooltip of each channel's cell. In the standard view statTable keeps its
// place and visibility (the panel layout reads them) but gets no height,
// and the standard tables show under it; collapsing the panel hides both.
//
// Threading: GUI thread only. The figures come from the StandardFigureStore
// that frame processing feeds (see StandardFigureStore.h).
#pragma once

#include "StandardFigureStore.h"

#include <QObject>

class QPushButton;
class QTableWidget;
class QWidget;

class StandardMeasurementsView : public QObject {
    Q_OBJECT

public:
    // titleBar: the panel's title bar (its layout gets the two buttons);
    // statTable: the table's own view, whose layout gets the standard tables.
    StandardMeasurementsView(QWidget* titleBar, QTableWidget* statTable, QObject* parent);

    h452::StandardFigureStore* store() { return &store_; }
    // The switch is on (the standard tables show while the panel is expanded).
    bool standardShown() const;

    // The table refresh: the standard tables (standard view) or the warning
    // tooltips of statTable's channel cells (the table's view), for the
    // enabled channels.
    void refresh(const bool channelEnabled[4]);

    // The switch and Reset, for tests.
    QPushButton* viewSwitch() const { return switch_; }
    QPushButton* resetButton() const { return reset_; }
    QTableWidget* figureTable() const { return figures_; }
    QTableWidget* harmonicTable() const { return harmonics_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setStandardView(bool shown);
    void updateVisibility();
    void fillStandard(const h452::StandardFigureStore::Snapshot& s, const bool channelEnabled[4]);
    void fillWarningTips(const h452::StandardFigureStore::Snapshot& s, const bool channelEnabled[4]);

    h452::StandardFigureStore store_;
    QTableWidget* statTable_ = nullptr;
    QWidget* standard_ = nullptr;  // container of the two standard tables
    QTableWidget* figures_ = nullptr;
    QTableWidget* harmonics_ = nullptr;
    QPushButton* switch_ = nullptr;
    QPushButton* reset_ = nullptr;
    int statTableMaxHeight_ = 0;
};
