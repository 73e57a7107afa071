// RenderJob.h: what lumatex-render does once its command line is checked: list the catalogue, render frames
// into files, or time the on-screen path. Each answers the program's exit status and reports through the
// process-wide message sink (stderr).
#pragma once

#include "CliMessages.h"
#include "RenderOptions.h"

namespace RenderCli {

int ListPlugins(const TCommandLine& commandLine, TCliMessageSink& messages);
int RenderToFiles(const TCommandLine& commandLine, TCliMessageSink& messages);
int Bench(const TCommandLine& commandLine, TCliMessageSink& messages);

} // namespace RenderCli
