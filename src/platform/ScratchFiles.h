// ScratchFiles.h: the files a write makes beside its target before it renames them over it, and their
// removal when the process is interrupted, so that an export stopped by a signal leaves nothing behind.
// Any thread; the registry is fixed storage that the signal handler reads without locks.
#pragma once

#include <string>

// A file name in target's folder that nobody uses yet, "lumatex-" plus six characters plus extension
// whatever target's length (created empty, so that it stays ours). Raises ELumatex naming the folder when
// nothing can be created there. Up to eight scratch files at a time are remembered, from their creation
// until ForgetScratchFile, for RemoveScratchFilesOnSignals.
std::string CreateScratchFile(const std::string& target, const std::string& extension);
// Called once the scratch file is renamed or removed.
void ForgetScratchFile(const std::string& path);

// From now on SIGINT, SIGTERM and SIGHUP first remove the remembered scratch files, then end the process as
// the signal would have. Signals that are ignored or already handled when this is called stay as they are.
void RemoveScratchFilesOnSignals();
