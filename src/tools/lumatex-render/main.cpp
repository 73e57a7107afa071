// lumatex-render: the headless renderer. Checks the command line, then hands over to RenderJob.
#include "CliMessages.h"
#include "RenderJob.h"
#include "RenderOptions.h"

#include "platform/ScratchFiles.h"

#include <cstdio>
#include <exception>
#include <new>
#include <string>
#include <vector>

using namespace RenderCli;

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const TCommandLine commandLine = ParseCommandLine(args);
    if (!commandLine.Error.empty()) {
        std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", kProgramName,
                     commandLine.Error.c_str(), kProgramName);
        return kExitUsage;
    }
    switch (commandLine.Command) {
    case TCommand::Help:
        return PrintResult(HelpText());
    case TCommand::Version:
        return PrintResult(VersionText());
    default:
        break;
    }

    // An interrupted render leaves no scratch file beside its target.
    RemoveScratchFilesOnSignals();
    TCliMessageSink messages(stderr);
    TMessageSinkGuard guard(messages);
    try {
        switch (commandLine.Command) {
        case TCommand::ListPlugins:
            return ListPlugins(commandLine, messages);
        case TCommand::Bench:
            return Bench(commandLine, messages);
        default:
            return RenderToFiles(commandLine, messages);
        }
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "%s: out of memory\n", kProgramName);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", kProgramName, MessageAsLines(e.what()).c_str());
    }
    return kExitRender;
}
