// RenderJob.h: what lumatex-render does once its command line is checked: list the catalogue, render frames
// into files, or time the on-screen path. Each answers the program's exit status and reports through the
// process-wide message sink (stderr).
#pragma once

#include "CliMessages.h"
#include "RenderOptions.h"

#include <string>

namespace RenderCli {

// Prints a command's result on stdout and flushes it. A write that fails (a full disk, a closed stream) is
// reported on stderr and answers kExitRender, so that a lost result never passes for a success.
int PrintResult(const std::string& text);

int ListPlugins(const TCommandLine& commandLine, TCliMessageSink& messages);
int RenderToFiles(const TCommandLine& commandLine, TCliMessageSink& messages);
int Bench(const TCommandLine& commandLine, TCliMessageSink& messages);

} // namespace RenderCli
