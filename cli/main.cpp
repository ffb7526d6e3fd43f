#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <iostream>

#include "cli/chart_request.h"
#include "cli/output.h"
#include "cli/tool.h"
#ifdef KX3105_CLI_CHARTS
#include "cli/chart_command.h"
#endif

using namespace kx::cli;

namespace {

#ifndef KX3105_CLI_CHARTS
// The charts need Qt Widgets, whose libraries alone cost more to load than a whole register
// command takes; so they are drawn by a companion program in libexec, which takes over the
// process with the same arguments.
int RunChartRenderer(const std::vector<std::string>& args) {
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    const std::string renderer =
        (self.parent_path() / KX3105_RENDERER_DIR / ChartRendererName).lexically_normal().string();
    std::vector<char*> argv{const_cast<char*>(renderer.c_str())};
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::cout.flush();
    execv(renderer.c_str(), argv.data());
    return Failure("cannot start the chart renderer " + renderer + ": " + std::strerror(errno));
}
#endif

}  // namespace

int main(int argc, char** argv) {
    // A closed standard output is a failed write to report, not a silent death.
    std::signal(SIGPIPE, SIG_IGN);
    StderrMessages messages;
    Tool tool;
#ifdef KX3105_CLI_CHARTS
    RegisterCommands(tool, RenderChart);
#else
    RegisterCommands(tool,
                     [&tool](const ChartRequest&) { return RunChartRenderer(tool.arguments()); });
#endif
    return tool.Run(argc, argv);
}
