#include <iostream>

#include "server/serve.h"

int main(int argc, char** argv) {
    using kx::server::ParsedServerOptions;
    const auto parsed =
        kx::server::ParseServerOptions(std::vector<std::string>(argv + 1, argv + argc));
    switch (parsed.outcome) {
        case ParsedServerOptions::Outcome::Help:
        case ParsedServerOptions::Outcome::Version:
            std::cout << parsed.text << std::flush;
            return std::cout ? 0 : 1;
        case ParsedServerOptions::Outcome::Usage:
            std::cerr << kx::server::ServerName << ": " << parsed.text
                      << " (kx3105-server --help lists the options)" << std::endl;
            return 2;
        case ParsedServerOptions::Outcome::Run:
            break;
    }
    return kx::server::Serve(parsed.options);
}
