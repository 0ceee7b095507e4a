#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/corvexa_app.h"
#include "app/display.h"
#include "app/options.h"

int main(int argc, char** argv) {
    const SOptions options = ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!options.error.empty()) {
        std::fprintf(stderr, "corvexa: %s\nTry 'corvexa --help'.\n", options.error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(UsageText("corvexa").c_str(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("corvexa %s\n", CORVEXA_VERSION);
        return 0;
    }
    const std::string noDisplay =
        MissingDisplayMessage([](const char* n) { return std::getenv(n); });
    if (!noDisplay.empty()) {
        std::fprintf(stderr, "%s\n", noDisplay.c_str());
        return 1;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("corvexa"));
    // The certificate names the software that made it.
    QApplication::setApplicationVersion(QStringLiteral(CORVEXA_VERSION));
    return CCorvexaApp(options).Run();
}
