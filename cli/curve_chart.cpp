#include <qcustomplot.h>

#include "charts/curve_chart.h"
#include "cli/chart_command.h"
#include "cli/output.h"
#include "cli/tool.h"

// The spectrum and Allan deviation charts: one curve on log axes with grid and captions.

namespace kx::cli {

int RenderCurve(const ChartRequest& request) {
    CurveData curve;
    if (const int status = request.makeCurve(curve); status != ExitOk) return status;
    if (curve.x.empty()) return Failure("nothing to draw");
    return DrawChart(request, [&](QCustomPlot& plot) {
        SetupLogCurve(&plot, curve.x, curve.y,
                      QString::fromStdString(request.title.value_or(curve.title)),
                      QString::fromStdString(curve.xLabel), QString::fromStdString(curve.yLabel));
    });
}

}  // namespace kx::cli
