#pragma once

#include <string>

#include "cli/tool.h"

// The registration function of each command file; RegisterCommands (app.cpp) calls them in the
// order `kx3105-cli --help` lists the commands.

namespace kx::cli {

void RegisterRegisterCommands(Tool& tool);  // regs, read, write, reset, calibrate
void RegisterConfig(Tool& tool);
void RegisterCapture(Tool& tool);
void RegisterAnalyse(Tool& tool);
void RegisterScan(Tool& tool);
void RegisterCharts(Tool& tool, const ChartRunner& charts);  // plot, histogram
void RegisterSpectrum(Tool& tool, const ChartRunner& charts);
void RegisterSweep(Tool& tool);
void RegisterLog(Tool& tool);
void RegisterDrift(Tool& tool, const ChartRunner& charts);

// --ref: a positive number of volts, taken to two decimals as the read screen stores it.
// Throws UsageError for anything else.
float ParseReferenceOption(const std::string& text);

}  // namespace kx::cli
