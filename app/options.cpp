#include "app/options.h"

SOptions ParseOptions(const std::vector<std::string>& args) {
    SOptions opts;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--simulate") {
            opts.simulate = true;
        } else if (a == "--help" || a == "-h") {
            opts.help = true;
        } else if (a == "--version") {
            opts.version = true;
        } else if (a == "--port" || a.rfind("--port=", 0) == 0 || a == "--trace" ||
                   a.rfind("--trace=", 0) == 0) {
            // Both take a path, as the next argument or after '='.
            const bool port = a.rfind("--port", 0) == 0;
            std::string path;
            if (a.find('=') != std::string::npos)
                path = a.substr(a.find('=') + 1);
            else if (i + 1 < args.size())
                path = args[++i];
            if (path.empty()) {
                opts.error = port ? "option --port needs a path" : "option --trace needs a file";
                return opts;
            }
            if (port)
                opts.ports.push_back(path);
            else
                opts.trace = path;
        } else {
            opts.error = "unknown option: " + a;
            return opts;
        }
    }
    return opts;
}

std::string UsageText(const std::string& program) {
    return "Usage: " + program +
           " [options]\n"
           "Commission and calibrate two-wire transmitters over a serial line.\n"
           "\n"
           "Options:\n"
           "  --simulate    start a simulated transmitter and list it first\n"
           "                in the port box\n"
           "  --port PATH   add PATH to the port box (repeatable), e.g. a\n"
           "                virtual serial port made with socat\n"
           "  --trace FILE  append every frame, reply, time-out and retry to\n"
           "                FILE, one line each, for a support engineer\n"
           "  --help        show this text and exit\n"
           "  --version     show the version and exit\n";
}
