// What is decided about a media file before it is read.
#include "pipeline/MediaFiles.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

TEST(InputFileProblem, SaysWhyAFileCannotBeOpened) {
    TTempFolder tmp;
    namespace fs = std::filesystem;
    WriteTextFile(tmp.File("in.bmp"), "BM");
    fs::create_directory(tmp.File("folder.bmp"));
    fs::create_symlink("loop.avi", tmp.File("loop.avi"));
    fs::create_symlink("gone.bmp", tmp.File("dangling.bmp"));
    EXPECT_EQ(InputFileProblem(tmp.File("in.bmp")), "");
    EXPECT_EQ(InputFileProblem(tmp.File("missing.bmp")), "no such file");
    EXPECT_EQ(InputFileProblem(tmp.File("folder.bmp")), "it is a folder");
    EXPECT_EQ(InputFileProblem(tmp.File("loop.avi")), "a loop of symbolic links");
    EXPECT_EQ(InputFileProblem(tmp.File("dangling.bmp")), "the symbolic link leads nowhere");
    EXPECT_EQ(InputFileProblem("/dev/null"), "not a regular file");

    // Permissions bind everyone but root: as root, the check runs as nobody in a child process.
    WriteTextFile(tmp.File("locked.bmp"), "BM");
    fs::permissions(tmp.File("locked.bmp"), fs::perms::none);
    fs::permissions(tmp.Path(), fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(2);
        _exit(InputFileProblem(tmp.File("locked.bmp")) == "permission denied" ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 2) GTEST_SKIP() << "cannot drop root's rights to check a locked file";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "a file without read permission: \"permission denied\"";
}
