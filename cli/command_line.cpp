#include "cli/command_line.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <ostream>

#include "cli/convert.h"
#include "cli/info.h"

const char* const kProgramVersion = DXF2PLANDROP_VERSION;

namespace {

// Every option given twice keeps its last value, as it always has.
void TakeLastValue(CLI::App& app) { app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast); }

// The command whose usage a usage error shows: the deepest one chosen so far.
const CLI::App& ChosenCommand(const CLI::App& app) {
    const CLI::App* a = &app;
    while (!a->get_subcommands().empty()) a = a->get_subcommands().front();
    return *a;
}

}  // namespace

int RunCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    CLI::App app("Converts 2-D DXF drawings into simplified DXF or text segments.", "dxf2plandrop");
    TakeLastValue(app);
    app.set_version_flag("--version", std::string("dxf2plandrop ") + kProgramVersion, "show the version");
    app.require_subcommand(1, 1);

    CLI::App* convert = app.add_subcommand(
        "convert", "convert every layout of every drawing (or only one) into simplified DXF or text lines");
    TakeLastValue(*convert);
    TConvertOptions convertOptions;
    AddConvertOptions(*convert, convertOptions);

    CLI::App* info = app.add_subcommand(
        "info", "show what each DXF drawing holds: version, entities, blocks, layers, line types and layouts");
    TakeLastValue(*info);
    TInfoOptions infoOptions;
    AddInfoOptions(*info, infoOptions);

    if (args.size() == 1 && args[0] == "help") {
        out << app.help();
        return 0;
    }
    // CLI11 takes the arguments last first.
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        out << app.help();  // the help of the command chosen
        return 0;
    } catch (const CLI::CallForAllHelp&) {
        out << app.help("", CLI::AppFormatMode::All);
        return 0;
    } catch (const CLI::CallForVersion& v) {
        out << v.what() << "\n";
        return 0;
    } catch (const CLI::ParseError& e) {
        const CLI::App& cmd = ChosenCommand(app);
        std::string what = e.what();
        if (&cmd == &app) {
            if (args.empty()) what = "no command given";
            else if (!args[0].starts_with("-")) what = "unknown command '" + args[0] + "'";
        }
        // The reason and where to read more, as CLI11's simple failure
        // message does; the help page itself only on request.
        const std::string command = &cmd == &app ? std::string("dxf2plandrop") : "dxf2plandrop " + cmd.get_name();
        err << "dxf2plandrop: " << what << "\n"
            << "Run '" << command << " --help' for more information.\n";
        return 2;
    }
    if (convert->parsed()) return RunConvert(convertOptions, out, err);
    return RunInfo(infoOptions.Files, infoOptions.Json, out, err);
}
