#include "RenderJob.h"

#include <cstdio>

namespace RenderCli {

namespace {
int NotYet() {
    std::fprintf(stderr, "lumatex-render: this build cannot render yet\n");
    return kExitRender;
}
} // namespace

int ListPlugins(const TCommandLine&, TCliMessageSink&) { return NotYet(); }
int RenderToFiles(const TCommandLine&, TCliMessageSink&) { return NotYet(); }
int Bench(const TCommandLine&, TCliMessageSink&) { return NotYet(); }

} // namespace RenderCli
