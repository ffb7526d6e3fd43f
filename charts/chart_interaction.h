#pragma once

class QCustomPlot;

// Reading values off a chart: the mouse wheel zooms and a drag pans, over the plot both axes,
// over an axis that axis alone; a double click brings back the view as it was set up. Only the
// bottom and left axes move this way; a second axis follows its partner (AddVoltsAxis).

namespace kx {

// Takes the plot's present axis ranges as its full view and turns zoom and pan on.
void EnableChartNavigation(QCustomPlot* plot);

// Back to the full view taken by EnableChartNavigation; a plot without one is left alone.
void RestoreFullView(QCustomPlot* plot);

}  // namespace kx
