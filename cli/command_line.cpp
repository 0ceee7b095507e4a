#include "cli/command_line.h"

#include <CLI/CLI.hpp>
#include <cstdio>

#include "cli/completion.h"
#include "cli/parameters.h"
#include "cli/port_runner.h"
#include "protocol/calibration_identity.h"

namespace cli {

std::optional<int> ParseCommandLine(int argc, char** argv, CommandLine& line) {
    CLI::App app{
        "Reads, writes, samples, saves and restores two-wire transmitters on serial "
        "ports, talking to them as the Corvexa window does.\n"
        "Exit status: 0 done, 2 bad command line or a refused value (nothing sent), "
        "3 a port could not be opened, 4 the device did not answer, 5 a write was "
        "not confirmed, 6 the device refused a request, 7 a verification found a point out "
        "of tolerance, 8 the history database could not be used; after Ctrl-C, SIGTERM or a closed "
        "output pipe the exchange on the line finishes and LinkEnd goes out, then 130, 143 "
        "or 141.",
        "corvexa-cli"};
    app.require_subcommand(1);
    app.set_version_flag("--version", "corvexa-cli " CORVEXA_VERSION);
    // Options of the program also work after the command.
    app.fallthrough();
    app.add_option("--port", line.ports,
                   "serial port to use (a path like /dev/ttyUSB0, or COM3); give it several "
                   "times to work on several devices at once");
    app.add_flag("--factory", line.factory, "read registers 10-23 instead of 10-17");
    app.add_flag("--json", line.json, "print JSON, one object per line, instead of tables");
    app.add_option("--trace", line.trace,
                   "write every frame, reply, time-out and retry to FILE; a trace that cannot "
                   "be written is said once on stderr and changes neither the exchanges nor the "
                   "exit status");
    app.add_option("--baud", line.baud,
                   "the rate to open the port at: 1200, 2400, 4800, 9600 (default) or 19200")
        ->check(CLI::IsMember({1200, 2400, 4800, 9600, 19200}));
    app.add_option("--echo", line.echo,
                   "a two-wire RS-485 adapter that gives back what it sends: auto (default: "
                   "found on the connect request), on (always take our first copy off), off")
        ->check(CLI::IsMember({"auto", "on", "off"}));
    app.add_option("--tag", line.tag,
                   "the unit's tag (the device holds no identity: it is typed or scanned); "
                   "with --tag or --serial the session is kept in a journal under the data "
                   "folder and then in the history database; with history list and export, "
                   "only that tag's sessions");
    app.add_option("--serial", line.serial, "the unit's serial number");
    app.add_option("--model", line.model, "the unit's model");
    app.add_option("--technician", line.technician, "who works on the unit");
    app.add_option("--database", line.database,
                   "the history database: a SQLite file (default: history.sqlite in the data "
                   "folder, $XDG_DATA_HOME/corvexa) or a PostgreSQL connection string, e.g. "
                   "postgresql://bench@server/corvexa, shared by several benches");
    app.add_flag("--simulate", line.simulate,
                 "also use the built-in simulated transmitter as a port");

    app.add_subcommand("ports",
                       "list the serial ports: path, name, stable by-id path, USB, busy or free");
    app.add_subcommand("read", "read the parameters: registers 10-17, or 10-23 with --factory");

    auto* write = app.add_subcommand(
        "write", "write parameters in the order given; each is checked before anything is sent");
    write
        ->add_option("NAME=VALUE", line.assignments,
                     "parameter and value, e.g. zero-offset=2.5 signal-source=PT100 gain=25; "
                     "the names: " +
                         WritableNames() +
                         ". Signal source and gain take the text the window shows (PT100, K, "
                         "Float Level; the factor 12.5) or code:N")
        ->required();
    write->add_flag("--force", line.force, "send a lower limit that is not below the upper limit");

    auto* sample = app.add_subcommand(
        "sample", "poll the zero (20) or full (21) sample register, one line each");
    sample->add_option("WHICH", line.which, "zero or full")
        ->required()
        ->check(CLI::IsMember({"zero", "full"}));
    sample->add_option("--count", line.count, "how many readings (default 10)")
        ->check(CLI::Range(1, 1000000));

    auto* trim = app.add_subcommand(
        "trim",
        "set the zero and full output words (22, 23) from what a meter on the output "
        "read at the zero and at the full input");
    trim->add_option("--zero-measured", line.zeroMeasured, "the meter's reading at the zero input")
        ->required();
    trim->add_option("--full-measured", line.fullMeasured, "the meter's reading at the full input")
        ->required();
    trim->add_option("--signal", line.signal, "4-20mA (default) or 0-10V")
        ->check(CLI::IsMember({"4-20mA", "0-10V"}));
    trim->add_flag("--dry-run", line.dryRun, "show the new words and write nothing");

    auto* verify = app.add_subcommand(
        "verify",
        "check the output at test points of the configured range: for each point apply the "
        "input and give the meter's reading (asked on a terminal; from a pipe one line per "
        "point, \"applied,measured\" or the measured value alone); expected output "
        "4 + 16 (x - L)/(U - L) mA or 10 (x - L)/(U - L) V, error in % of the output's span");
    verify->add_option("--points", line.points,
                       "test points in % of the range, 3 to 11, in the order applied "
                       "(default 0,25,50,75,100; e.g. 0,50,100,50,0 for hysteresis)");
    verify->add_option("--output", line.output, "4-20mA (default) or 0-10V");
    verify->add_option("--tolerance", line.tolerance,
                       "largest error that passes, in % of span (default 0.25)");
    verify->add_option("--stage", line.stage, "as-found (default, before any change) or as-left")
        ->check(CLI::IsMember({"as-found", "as-left"}));

    auto* backup =
        app.add_subcommand("backup",
                           "read registers 10-23 and save them as JSON (time, port, shown values); "
                           "{port} in FILE is replaced by the port's name");
    backup->add_option("FILE", line.file, "file to write")->required();

    auto* restore = app.add_subcommand(
        "restore",
        "write the configuration registers (10, 15-19) that differ from FILE, then "
        "read back and compare");
    restore->add_option("FILE", line.file, "a file made by backup")->required();
    restore->add_flag("--with-calibration", line.withCalibration, "also registers 20-23");
    restore->add_flag("--dry-run", line.dryRun, "show what would be written and write nothing");
    restore->add_flag("--force", line.force,
                      "send a lower limit that is not below the upper limit");

    auto* commission = app.add_subcommand(
        "commission",
        "a production line: on every --port at once, wait for a device (a connect request "
        "each second), take its identity (a line PORT TAG SERIAL on standard input, e.g. from "
        "a barcode scanner, or --serial-from), write the template's registers 10 and 15-19 "
        "that differ, each confirmed and read back, verify the output when asked, record the "
        "session, print one line, then "
        "wait until the device is gone; until standard input ends or Ctrl-C, then a summary; "
        "exit 0 only if every unit passed");
    commission->add_option("--template", line.templateFile, "a file made by backup")->required();
    commission
        ->add_option("--serial-from", line.serialFrom,
                     "number the units from N instead of reading identities (tag = serial)")
        ->check(CLI::Range(0LL, 999999999999LL));
    commission->add_option("--units", line.units, "with --serial-from: stop after N units")
        ->check(CLI::Range(1LL, 1000000000LL));
    auto* verifyUnits =
        commission->add_flag("--verify", line.verify,
                             "after the read-back, check each unit's output at test points (as "
                             "verify --stage as-left does); the meter's readings come as lines "
                             "PORT READING (or PORT applied,measured) on standard input");
    commission->add_option("--points", line.points, "with --verify: as verify's --points")
        ->needs(verifyUnits);
    commission->add_option("--output", line.output, "with --verify: 4-20mA (default) or 0-10V")
        ->needs(verifyUnits);
    commission
        ->add_option("--tolerance", line.tolerance,
                     "with --verify: largest error that passes, in % of span (default 0.25)")
        ->needs(verifyUnits);

    auto* history = app.add_subcommand(
        "history",
        "the history database: every recorded session of every unit, and when each is due "
        "again (not in the Windows build, which keeps sessions only in their journals)");
    history->require_subcommand(1);
    auto* list = history->add_subcommand("list", "the sessions, newest first");
    list->add_option("--since", line.since, "only sessions from that day on (YYYY-MM-DD)");
    auto* show = history->add_subcommand(
        "show", "one session: the unit, the registers as found and as left, writes, verifications");
    show->add_option("SESSION", line.session, "its number, as history list shows it")->required();
    auto* exportTo = history->add_subcommand("export", "every session (or --tag's) to a file");
    exportTo->add_option("--csv", line.csvFile, "one line a session");
    exportTo->add_option("--json", line.jsonFile, "every session with all it holds");
    exportTo->add_option("--since", line.since, "only sessions from that day on (YYYY-MM-DD)");
    auto* due = history->add_subcommand(
        "due",
        "devices whose calibration falls due within --days (12 months after the latest "
        "certificate, or the model's own interval)");
    due->add_option("--days", line.days, "how far ahead to look (default 30)")
        ->check(CLI::Range(0, 36500));
    auto* interval = history->add_subcommand(
        "interval", "set how many months a model's calibration holds (12 unless set)");
    interval->add_option("MODEL", line.intervalModel, "the model, as the sessions name it")
        ->required();
    interval->add_option("MONTHS", line.intervalMonths, "1 to 600")
        ->required()
        ->check(CLI::Range(1, 600));

    // Not an option of the program: the package runs it once to install
    // the completion.
    if (argc == 2 && std::string(argv[1]) == "--bash-completion") {
        std::fputs(BashCompletion(app).c_str(), stdout);
        return kExitOk;
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0) {
            app.exit(e);
            return kExitOk;
        }
        // A word where a command belongs is a mistyped command, whatever
        // CLI11 calls it.
        const std::vector<std::string> rest = app.remaining();
        std::string names;
        for (const CLI::App* sub : app.get_subcommands({}))
            names += (names.empty() ? "" : ", ") + sub->get_name();
        if (app.get_subcommands().empty() && !rest.empty() && rest.front().rfind('-', 0) != 0) {
            std::fprintf(stderr, "corvexa-cli: unknown command %s; the commands: %s\n",
                         rest.front().c_str(), names.c_str());
            return kExitUsage;
        }
        if (app.get_subcommands().empty() && rest.empty() &&
            dynamic_cast<const CLI::RequiredError*>(&e) != nullptr) {
            std::fprintf(stderr, "corvexa-cli: no command given; the commands: %s\n",
                         names.c_str());
            return kExitUsage;
        }
        std::fprintf(stderr, "corvexa-cli: %s; see corvexa-cli --help\n", e.what());
        return kExitUsage;
    }
    line.command = app.get_subcommands().front()->get_name();
    if (line.command == "history") {
        line.historyAction = history->get_subcommands().front()->get_name();
        if (line.historyAction == "export" && line.csvFile.empty() == line.jsonFile.empty()) {
            std::fprintf(stderr, "corvexa-cli: history export takes --csv FILE or --json FILE\n");
            return kExitUsage;
        }
        if (!line.since.empty() && !protocol::ValidDate(line.since)) {
            std::fprintf(stderr, "corvexa-cli: --since %s refused: give a date as YYYY-MM-DD\n",
                         line.since.c_str());
            return kExitUsage;
        }
    }
    return std::nullopt;
}

}  // namespace cli
