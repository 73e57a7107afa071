#include "pipeline/RenderSetup.h"

#include "plugins/uChainState.h"
#include "render/uRenderEngine.h"

TRenderSetup::TRenderSetup(IGLSurface& surface) : Surface(surface) {}

TRenderSetup::~TRenderSetup() {
    Destroy();
}

bool TRenderSetup::Create(const std::string& programFolder, int viewWidth, int viewHeight) {
    return Create(std::vector<std::string>{programFolder}, viewWidth, viewHeight);
}

bool TRenderSetup::Create(const std::vector<std::string>& dataFolders, int viewWidth, int viewHeight) {
    Destroy();
    Surface.MakeCurrent();
    auto engine = std::make_unique<TRenderEngine>(Surface, dataFolders);
    if (!engine->Init(viewWidth, viewHeight)) {
        Surface.MakeCurrent();
        return false;
    }
    Engine = std::move(engine);
    Chain = std::make_unique<TChainState>(*Engine);
    Chain->FormCreate();
    return true;
}

void TRenderSetup::Destroy() {
    Chain.reset();
    if (!Engine) return;
    Surface.MakeCurrent();
    Engine.reset();
}
