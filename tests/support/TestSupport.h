// TestSupport.h: shared test helpers: a headless GL fixture, temporary folders, file helpers.
#pragma once

#include "gl/HeadlessContext.h"
#include "platform/MessageSink.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// One headless EGL context per test, 256 x 256 unless the test resizes it. Tests skip when the machine
// cannot make one (they never fail for lack of a GPU driver).
class HeadlessGLTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    THeadlessContext Context;
    TRecordingMessageSink Messages;
    std::unique_ptr<TMessageSinkGuard> SinkGuard;
};

// A fresh folder under the system temp folder, removed with everything in it at destruction.
class TTempFolder {
public:
    TTempFolder();
    ~TTempFolder();
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;
    const std::string& Path() const { return FPath; } // ends with "/"
    std::string File(const std::string& name) const { return FPath + name; }

private:
    std::string FPath;
};

// Runs body in a child process whose address space may grow by budget bytes past what it holds at the fork.
// Answers 0 when body answered true, 1 when false, 2 when it ran out of memory (-1 when no child ran).
int RunWithinAddressSpace(size_t budget, const std::function<bool()>& body);

// While alive, a process running as root acts as the user "nobody" (its effective ids only, given back at the
// end), so that folder permissions bind it as they bind any user: root writes into read-only folders.
// Nothing changes for any other user. GiveAway hands a tree to the user the scope acts as beforehand.
class TUnprivilegedScope {
public:
    TUnprivilegedScope();
    ~TUnprivilegedScope();
    TUnprivilegedScope(const TUnprivilegedScope&) = delete;
    TUnprivilegedScope& operator=(const TUnprivilegedScope&) = delete;
    static void GiveAway(const std::string& path);

private:
    bool Dropped = false;
};

void WriteTextFile(const std::string& path, const std::string& text);
void WriteBinaryFile(const std::string& path, const std::vector<uint8_t>& data);
std::string ReadTextFile(const std::string& path);

// Folders of the source tree and of the built program folder.
std::string TestDataFolder();    // tests/data/
std::string ProgramDataFolder(); // build/bin/ (plugins/, shader/, presets/)

// A UDP port on the loopback that nobody sends to (as long as nothing else grabs it meanwhile).
int FreeUdpPort();
