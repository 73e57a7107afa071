// The scratch files of an export and their removal when the process is interrupted.
#include "platform/ScratchFiles.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

TEST(RemoveScratchFilesOnSignals, InterruptedExportLeavesNoScratchFile) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        TTempFolder tmp;
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // Stands for a render stopped while its picture is being written.
            try {
                RemoveScratchFilesOnSignals();
                CreateScratchFile(tmp.File("out.bmp"), ".bmp");
                CreateScratchFile(tmp.File("out.jpg"), ".jpg");
            } catch (...) {
                _exit(1);
            }
            const char byte = 1;
            [[maybe_unused]] const ssize_t written = write(ready[1], &byte, 1);
            for (;;)
                pause();
        }
        close(ready[1]);
        char byte = 0;
        ASSERT_EQ(read(ready[0], &byte, 1), 1);
        close(ready[0]);
        EXPECT_EQ(Names(tmp.Path()).size(), 2u);
        kill(child, signal);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << "ends as the signal ends it";
        EXPECT_TRUE(Names(tmp.Path()).empty()) << "signal " << signal;
    }
}
