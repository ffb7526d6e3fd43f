#include <qcustomplot.h>

#include "charts/curve_chart.h"
#include "cli/chart_command.h"
#include "cli/output.h"
#include "cli/tool.h"

// The spectrum and Allan deviation charts (one curve on log axes with grid and captions), and a
// drift log's readings over time.

namespace kx::cli {

int RenderCurve(const ChartRequest& request) {
    CurveData curve;
    if (const int status = request.makeCurve(curve); status != ExitOk) return status;
    if (curve.x.empty()) return Failure("nothing to draw");
    return DrawChart(
        request,
        [&](QCustomPlot& plot) {
            const QString title = QString::fromStdString(request.title.value_or(curve.title));
            if (curve.series)
                SetupSeriesChart(&plot, curve.x, curve.y, title);
            else
                SetupLogCurve(&plot, curve.x, curve.y, title, QString::fromStdString(curve.xLabel),
                              QString::fromStdString(curve.yLabel));
        },
        curve.caption);
}

}  // namespace kx::cli
