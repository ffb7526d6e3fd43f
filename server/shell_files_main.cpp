// Writes the bash completion of kx3105-server, made from its own command line at build time:
//   kx3105-server-shell-files DIR  ->  DIR/kx3105-server
#include <fstream>
#include <iostream>

#include "cli/shell_files.h"
#include "server/server_command_line.h"
#include "server/server_options.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "Usage: kx3105-server-shell-files DIR\n";
        return 2;
    }
    using namespace kx::cli;
    const kx::server::ServerCommandLine line;
    const ValueNames names = ValueNamesOf("", kx::server::ParseServerOptions({"--help"}).text);
    const auto completion = [&](const std::string&, const CLI::Option& option) {
        const auto found = names.options.find(option.get_name());
        return CompletionOfValueName(found == names.options.end() ? "" : found->second);
    };
    const std::string path = std::string(argv[1]) + "/" + kx::server::ServerName;
    std::ofstream out(path, std::ios::binary);
    out << BashCompletion(line.app, kx::server::ServerName, completion);
    out.close();
    if (out) return 0;
    std::cerr << "kx3105-server-shell-files: cannot write " << path << "\n";
    return 1;
}
