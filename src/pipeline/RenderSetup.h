// RenderSetup.h: the render engine and the chain on a surface whose context is made and checked, built in
// the order the program starts them and torn down with the context current, as the engine's GL objects
// require. The main window and lumatex-render each hold one. GUI thread.
#pragma once

#include "gl/GLSurface.h"

#include <memory>
#include <string>
#include <vector>

class TRenderEngine;
class TChainState;

class TRenderSetup {
public:
    // The surface must outlive the setup; its context is made current for the teardown.
    explicit TRenderSetup(IGLSurface& surface);
    ~TRenderSetup();
    TRenderSetup(const TRenderSetup&) = delete;
    TRenderSetup& operator=(const TRenderSetup&) = delete;

    // With the surface's context current: the engine for programFolder (ending in "/") initialised for a
    // view of viewWidth x viewHeight (catalogue scanned, framebuffers and source texture made), then the
    // chain state over it with its eight empty slots. Answers false, with nothing kept, when the engine's
    // Init fails.
    bool Create(const std::string& programFolder, int viewWidth, int viewHeight);
    // The same over several data folders (the winning one first): the catalogue merges their plugins.
    bool Create(const std::vector<std::string>& dataFolders, int viewWidth, int viewHeight);
    // Frees the chain, then the engine with the context current. Nothing when nothing was created.
    void Destroy();

    bool Created() const { return Engine != nullptr; }
    TRenderEngine& GetEngine() const { return *Engine; }
    TChainState& GetChain() const { return *Chain; }

private:
    IGLSurface& Surface;
    std::unique_ptr<TRenderEngine> Engine;
    std::unique_ptr<TChainState> Chain;
};
