#include "cli/completion.h"

#include <CLI/CLI.hpp>
#include <set>
#include <vector>

namespace cli {

namespace {

std::vector<const CLI::App*> Commands(const CLI::App& app) {
    return app.get_subcommands([](const CLI::App*) { return true; });
}

void AddOptions(const CLI::App& app, bool valued, std::set<std::string>& names) {
    for (const CLI::Option* option : app.get_options()) {
        if ((option->get_expected_min() > 0) != valued) continue;
        for (const std::string& name : option->get_lnames()) names.insert("--" + name);
    }
}

// The words a command line offers at `app`: its options and its commands.
std::string Words(const CLI::App& app) {
    std::set<std::string> options;
    AddOptions(app, false, options);
    AddOptions(app, true, options);
    std::string words;
    for (const std::string& name : options) words += " " + name;
    for (const CLI::App* command : Commands(app)) words += " " + command->get_name();
    return words;
}

std::string Joined(const std::set<std::string>& names) {
    std::string joined;
    for (const std::string& name : names) joined += (joined.empty() ? "" : "|") + name;
    return joined;
}

}  // namespace

std::string BashCompletion(const CLI::App& app) {
    // Where the words typed so far lead: "", "read", "history/list".
    std::set<std::string> steps;
    std::string branches = "        \"\") words=\"" + Words(app) + "\" ;;\n";
    std::set<std::string> flags;
    AddOptions(app, false, flags);
    std::set<std::string> valued;
    AddOptions(app, true, valued);
    for (const CLI::App* command : Commands(app)) {
        steps.insert("/" + command->get_name());
        branches +=
            "        " + command->get_name() + ") words=\"$global" + Words(*command) + "\" ;;\n";
        AddOptions(*command, true, valued);
        for (const CLI::App* sub : Commands(*command)) {
            steps.insert(command->get_name() + "/" + sub->get_name());
            branches += "        " + command->get_name() + "/" + sub->get_name() +
                        ") words=\"$global" + Words(*sub) + "\" ;;\n";
            AddOptions(*sub, true, valued);
        }
    }
    // After these a file name; a name that is also a flag of the program
    // (history export --json FILE, --json) is left to the words.
    valued.erase("--port");
    for (const std::string& flag : flags) valued.erase(flag);
    std::string global;
    for (const std::string& option : flags) global += " " + option;
    std::set<std::string> programValued;
    AddOptions(app, true, programValued);
    for (const std::string& option : programValued) global += " " + option;
    return "# bash completion for corvexa-cli; made by corvexa-cli --bash-completion\n"
           "_corvexa_cli() {\n"
           "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}\n"
           "    local command=\"\" w words\n"
           "    local global=\"" +
           global +
           "\"\n"
           "    for w in \"${COMP_WORDS[@]:1:COMP_CWORD-1}\"; do\n"
           "        case $command/$w in\n"
           "            " +
           Joined(steps) +
           ") command=${command:+$command/}$w ;;\n"
           "        esac\n"
           "    done\n"
           "    case $prev in\n"
           "        --port)\n"
           "            COMPREPLY=($(compgen -W \"$(ls -d /dev/ttyUSB* /dev/ttyACM* /dev/ttyS* "
           "/dev/serial/by-id/* 2>/dev/null)\" -- \"$cur\"))\n"
           "            return ;;\n"
           "        " +
           Joined(valued) +
           ")\n"
           "            COMPREPLY=($(compgen -f -- \"$cur\"))\n"
           "            return ;;\n"
           "    esac\n"
           "    case $command in\n" +
           branches +
           "        *) words=\"$global\" ;;\n"
           "    esac\n"
           "    COMPREPLY=($(compgen -W \"$words\" -- \"$cur\"))\n"
           "}\n"
           "complete -o default -F _corvexa_cli corvexa-cli\n";
}

}  // namespace cli
