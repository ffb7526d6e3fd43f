#pragma once

#include <initializer_list>

class QCustomPlot;

// Reading values off a chart, as oscilloscope software does: the mouse wheel zooms the bottom
// axis (the read or code axis), with Ctrl held the left axis (the value axis); over an axis it
// zooms that axis alone. A drag pans. Every view stays inside the full view (no panning past
// the first or last read) and no narrower than a least span, so the tick labels remain; a
// double click brings back the full view. Only the bottom and left axes move this way; a
// second axis follows its partner (AddVoltsAxis).

namespace kx {

// Takes the plot's present axis ranges as its full view and turns zoom and pan on. The least
// spans are in plot units; 0 takes a thousandth of the full view. A log axis is held to a factor
// of axis::MinLogRatio instead.
void EnableChartNavigation(QCustomPlot* plot, double leastX = 0, double leastY = 0);

// Zoom and pan off, the full view forgotten: a chart drawn afresh sets its ranges unhindered.
void DropChartNavigation(QCustomPlot* plot);

// Back to the full view taken by EnableChartNavigation; a plot without one is left alone.
void RestoreFullView(QCustomPlot* plot);

// Whether an axis shows its full view (true for a plot without one).
bool ShowsFullView(QCustomPlot* plot, bool xAxis);

// The captions (by slot, objects CaptionN) that name the ends of an axis's full view (the
// largest and smallest code) show only while that axis shows its full view: on a zoomed view they
// would contradict the axis.
void HideEndCaptionsWhenZoomed(QCustomPlot* plot, bool xAxis, std::initializer_list<int> numbers);

}  // namespace kx
