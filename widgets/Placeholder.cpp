// Replaced by the chart widgets.
