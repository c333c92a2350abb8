// torvane-cli: the terminal front end over the converter's core.

#include <array>
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli_command.h"
#include "platform/file_system.h"
#include "platform/user_folders.h"
#include "update/program_version.h"

namespace torvane::cli {
namespace {

constexpr std::array<CliCommand, 8> kCommands = {{
    {"presets", "list the preset tree", "presets", runPresets},
    {"show-preset", "print the 48 settings of one preset", "show-preset PATH", runShowPreset},
    {"formats", "list the output formats of the catalogue", "formats [--container NAME | --check]", runFormats},
    {"options", "print, read or store application options", "options [NAME [VALUE]]", runOptions},
    {"probe", "print the media facts and list cells of files",
     "probe [--json] [--report summary|normal|complete] FILE...", runProbe},
    {"command", "print the encoder command line each file would be converted with",
     "command --preset PATH [--set name=value]... [--out DIR | --same-folder] [--test SECONDS]\n"
     "        [--start TIME] [--end TIME] [--no-sound] [--shard K/N] FILE...",
     runCommand},
    {"convert", "convert files with a preset, showing progress on the terminal",
     "convert --preset PATH [--set name=value]... [--out DIR | --same-folder] [--test SECONDS]\n"
     "        [--start TIME] [--end TIME] [--no-sound] [--shard K/N] [--json] [--jobs N] FILE...\n"
     "convert --resume [--json] [--test SECONDS] [--jobs N]\n\n"
     "  --shard K/N  convert only the K-th of N parts of the files; the part of a file is\n"
     "               decided by its path as given, so N machines given the same list\n"
     "               convert every file exactly once\n"
     "  --json       report on standard output as JSON, one event a line: started,\n"
     "               progress, finished, refused, run-finished\n"
     "  --resume     go on with the list a crashed or interrupted run left in the queue\n"
     "               journal ($XDG_STATE_HOME/torvane/queue.ini): its preset and output\n"
     "               folder, the items it finished passed over (give no files then)\n"
     "  --jobs N     convert N files at once (at most the number of processors), each\n"
     "               encoder given its share of them; by default the option \"parallel\"",
     runConvert},
    {"update", "ask the update server for a newer version; --download fetches its installer",
     "update [--check] [--download]", runUpdate},
}};

constexpr std::string_view kGlobalOptions =
    "Global options:\n"
    "  --program-folder DIR  folder with torvane.ini, preset/ and common_avi.ini\n"
    "                        (default: the folder of this program)\n"
    "  --config-dir DIR      folder of the option store (default: $TORVANE_CONFIG_DIR,\n"
    "                        else $XDG_CONFIG_HOME/torvane, else ~/.config/torvane)\n"
    "  -h, --help            show help\n"
    "  --version             show the version and end\n";

void printOverview() {
    std::cout << "Usage: torvane-cli [global options] COMMAND [arguments]\n\nCommands:\n";
    for (const CliCommand& command : kCommands) {
        std::string name(command.name);
        name.resize(14, ' ');
        std::cout << "  " << name << command.summary << "\n";
    }
    std::cout << "\n" << kGlobalOptions << "\nRun 'torvane-cli COMMAND --help' for a command's arguments.\n";
}

void printCommandHelp(const CliCommand& command) {
    std::cout << "Usage: torvane-cli [global options] " << command.usage << "\n\n"
              << command.summary << "\n\n"
              << kGlobalOptions;
}

const CliCommand* findCommand(std::string_view name) {
    for (const CliCommand& command : kCommands) {
        if (command.name == name) return &command;
    }
    return nullptr;
}

int runMain(int argc, char** argv) {
    CliContext context;
    bool help = false;
    bool optionsEnded = false;
    const CliCommand* command = nullptr;
    std::vector<std::string> arguments;

    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const std::string_view commandName = command ? command->name : std::string_view("");
        if (!optionsEnded) {
            if (argument == "--") {
                optionsEnded = true;
                if (command != nullptr) context.positionalFrom = arguments.size();
                continue;
            }
            if (argument == "-h" || argument == "--help") {
                help = true;
                continue;
            }
            if (argument == "--version" && command == nullptr) {
                std::cout << "torvane-cli " << kProgramVersionText << "\n";
                return kExitOk;
            }
            bool isGlobal = false;
            for (const std::string_view option : {"--program-folder", "--config-dir"}) {
                std::string value;
                if (argument == option) {
                    if (i + 1 >= argc) return usageError(commandName, std::string(option) + " needs a folder");
                    value = argv[++i];
                } else if (argument.starts_with(std::string(option) + "=")) {
                    value = argument.substr(option.size() + 1);
                } else {
                    continue;
                }
                if (value.empty()) return usageError(commandName, std::string(option) + " needs a folder");
                (option == "--program-folder" ? context.programFolder : context.configFolder) = value;
                isGlobal = true;
            }
            if (isGlobal) continue;
        }
        if (command == nullptr && !optionsEnded) {
            if (argument.starts_with('-')) return usageError("", "unknown option " + argument);
            command = findCommand(argument);
            if (command == nullptr) return usageError("", "unknown command " + argument);
            continue;
        }
        arguments.push_back(argument);
    }

    if (command == nullptr) {
        if (help) {
            printOverview();
            return kExitOk;
        }
        return usageError("", "no command given");
    }
    if (help) {
        printCommandHelp(*command);
        return kExitOk;
    }
    if (context.programFolder.empty()) context.programFolder = executableFolder();
    if (context.configFolder.empty()) context.configFolder = defaultConfigFolder();
    return command->run(context, arguments);
}

}  // namespace
}  // namespace torvane::cli

int main(int argc, char** argv) {
    return torvane::cli::runMain(argc, argv);
}
