#include "plugins/uPluginReloader.h"

#include "platform/Files.h"
#include "platform/MessageSink.h"
#include "platform/Text.h"
#include "plugins/uChainState.h"
#include "render/IsfFile.h"
#include "render/IsfPlugin.h"
#include "render/uPluginTextures.h"
#include "render/uRenderEngine.h"
#include "render/uShaderPlugin.h"

#include <algorithm>
#include <filesystem>
#include <memory>

namespace fs = std::filesystem;

namespace {

template <typename TParams> void KeepValues(const TParams& from, TParams& to) {
    for (auto& param : to)
        for (const auto& old : from)
            if (old.UniformName == param.UniformName) param.Value = old.Value;
}

// Loads a plugin from its files with every message it would show caught: a reload reports, never a box.
std::unique_ptr<TShaderPlugin> LoadQuietly(const std::string& pluginFolder, const std::string& iniFileName,
                                           const std::string& shaderFolder, std::string& problem) {
    TRecordingMessageSink sink;
    TMessageSinkGuard guard(sink);
    auto plugin = std::make_unique<TShaderPlugin>(pluginFolder, iniFileName, shaderFolder);
    const bool loaded = plugin->Load();
    const bool linked = loaded && plugin->Shader && plugin->Shader->Linked();
    problem.clear();
    for (const std::string& p : plugin->Problems)
        problem += p + "\n";
    for (const auto& entry : sink.Entries)
        problem += entry.Caption + ": " + entry.Text + "\n";
    if (linked) return plugin;
    if (problem.empty())
        problem = loaded ? "the shader program does not link\n" : "the description is invalid\n";
    return nullptr;
}

bool FromFile(const TShaderPlugin& plugin, const TShaderPlugin& entry) {
    return plugin.PluginFolder == entry.PluginFolder && SameTextAscii(plugin.IniFileName, entry.IniFileName);
}

} // namespace

void KeepParameterValues(const TShaderPlugin& from, TShaderPlugin& to) {
    KeepValues(from.Params1f, to.Params1f);
    KeepValues(from.Params2f, to.Params2f);
    KeepValues(from.Params3f, to.Params3f);
    KeepValues(from.Params4f, to.Params4f);
}

TPluginReloader::TPluginReloader(TChainState& chain) : Chain(chain) {}

TPluginReloader::TStamp TPluginReloader::StampOf(const std::string& path) {
    std::error_code ec;
    TStamp stamp;
    if (!fs::is_regular_file(path, ec)) return stamp;
    const auto size = fs::file_size(path, ec);
    const auto time = fs::last_write_time(path, ec);
    if (ec) return stamp;
    stamp.Exists = true;
    stamp.Size = int64_t(size);
    stamp.ModifiedNs = std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch()).count();
    return stamp;
}

TPluginReloader::TStamps TPluginReloader::FilesOf(const TShaderPlugin& plugin) const {
    TStamps files;
    auto add = [&files](const std::string& path) { files[path] = StampOf(path); };
    add(plugin.PluginFolder + plugin.IniFileName);
    if (plugin.Isf) {
        // An effect file is its own fragment shader; its vertex shader and images sit beside it.
        const std::string vertex = plugin.PluginFolder + plugin.ShaderFileName + kIsfVertexExtension;
        add(FindFileNoCase(vertex).value_or(vertex));
        for (const TIsfImport& image : plugin.Isf->Imported)
            add(plugin.PluginFolder + image.Path);
        return files;
    }
    for (const char* ext : {".vert", ".frag"}) {
        const std::string path = plugin.ShaderFolder + plugin.ShaderFileName + ext;
        add(FindFileNoCase(path).value_or(path));
    }
    if (plugin.Textures)
        for (const TPluginTextureEntry& texture : plugin.Textures->Entries)
            add(texture.Path);
    return files;
}

std::vector<std::string> TPluginReloader::DescriptionFolders() const {
    // Every data folder, also one that holds no plugin yet: a description put there joins the catalogue.
    std::vector<std::string> folders;
    for (const std::string& root : Chain.Engine.DataFolders())
        folders.push_back(root + "plugins/");
    for (const auto& entry : Chain.Engine.Catalogue)
        if (std::find(folders.begin(), folders.end(), entry->PluginFolder) == folders.end())
            folders.push_back(entry->PluginFolder);
    return folders;
}

std::map<std::string, TPluginReloader::TStamp> TPluginReloader::ListDescriptions() const {
    std::map<std::string, TStamp> found;
    for (const std::string& folder : DescriptionFolders())
        ListFolder(folder, [&found](const std::string& in, const TFolderEntry& entry) {
            const std::string extension = LowerExtension(entry.Name);
            if (extension == ".ini" || extension == kIsfExtension)
                found[in + entry.Name] = StampOf(in + entry.Name);
            return true;
        });
    return found;
}

void TPluginReloader::Snapshot() {
    EntryFiles.clear();
    for (const auto& entry : Chain.Engine.Catalogue)
        EntryFiles.push_back(FilesOf(*entry));
    Descriptions = ListDescriptions();
}

bool TPluginReloader::Poll() const {
    const auto& catalogue = Chain.Engine.Catalogue;
    if (catalogue.size() != EntryFiles.size()) return true;
    for (size_t k = 0; k < catalogue.size(); ++k)
        if (FilesOf(*catalogue[k]) != EntryFiles[k]) return true;
    return ListDescriptions() != Descriptions;
}

bool TPluginReloader::Reload() {
    auto& catalogue = Chain.Engine.Catalogue;
    bool changed = false;
    const size_t known = std::min(catalogue.size(), EntryFiles.size());
    for (size_t k = known; k-- > 0;) {
        const TShaderPlugin& entry = *catalogue[k];
        if (!StampOf(entry.PluginFolder + entry.IniFileName).Exists) {
            RemoveEntry(k);
            changed = true;
        } else if (FilesOf(entry) != EntryFiles[k]) {
            changed = ReloadEntry(k) || changed;
        }
    }
    for (const auto& description : ListDescriptions()) {
        const std::string& path = description.first; // clang 14 cannot capture a structured binding
        const bool listed = std::any_of(catalogue.begin(), catalogue.end(), [&path](const auto& entry) {
            return entry->PluginFolder + entry->IniFileName == path;
        });
        if (!listed && Descriptions.count(path) == 0) changed = AddDescription(path) || changed;
    }
    if (changed) Renumber();
    Snapshot();
    return changed;
}

bool TPluginReloader::ReloadEntry(size_t index) {
    auto& catalogue = Chain.Engine.Catalogue;
    const TShaderPlugin& old = *catalogue[index];
    std::string problem;
    auto fresh = LoadQuietly(old.PluginFolder, old.IniFileName, old.ShaderFolder, problem);
    if (!fresh) {
        if (OnProblem) OnProblem(old.IniFileName, problem);
        return false;
    }
    auto& slots = Chain.Engine.Slots;
    for (size_t s = 0; s < slots.size(); ++s) {
        if (!slots[s] || !FromFile(*slots[s], *fresh)) continue;
        auto instance = LoadQuietly(fresh->PluginFolder, fresh->IniFileName, fresh->ShaderFolder, problem);
        if (!instance) continue;
        KeepParameterValues(*slots[s], *instance);
        Chain.Label(int(s) + 1).Hint = instance->FullName;
        slots[s] = std::move(instance);
    }
    catalogue[index] = std::move(fresh);
    return true;
}

void TPluginReloader::RemoveEntry(size_t index) {
    auto& catalogue = Chain.Engine.Catalogue;
    auto& slots = Chain.Engine.Slots;
    for (size_t s = 0; s < slots.size(); ++s)
        if (slots[s] && FromFile(*slots[s], *catalogue[index])) Chain.AssignSlot(int(s) + 1, -1, false);
    catalogue.erase(catalogue.begin() + std::ptrdiff_t(index));
    if (index < EntryFiles.size()) EntryFiles.erase(EntryFiles.begin() + std::ptrdiff_t(index));
}

bool TPluginReloader::AddDescription(const std::string& path) {
    const fs::path file(path);
    const std::string folder = IncludeTrailingSlash(file.parent_path().string());
    const std::string shaderFolder =
        IncludeTrailingSlash(file.parent_path().parent_path().string()) + "shader/";
    std::string problem;
    auto fresh = LoadQuietly(folder, file.filename().string(), shaderFolder, problem);
    if (!fresh) {
        if (OnProblem) OnProblem(file.filename().string(), problem);
        return false;
    }
    auto& catalogue = Chain.Engine.Catalogue;
    const auto at = std::lower_bound(catalogue.begin(), catalogue.end(), fresh->IniFileName,
                                     [](const auto& entry, const std::string& name) {
                                         return CompareTextLocale(entry->IniFileName, name) < 0;
                                     });
    catalogue.insert(at, std::move(fresh));
    return true;
}

void TPluginReloader::Renumber() {
    auto& catalogue = Chain.Engine.Catalogue;
    for (size_t k = 0; k < catalogue.size(); ++k)
        catalogue[k]->CatalogueIndex = int32_t(k);
    // Labels name their plugin by its place in the catalogue, which may have moved.
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        const auto& instance = Chain.Engine.Slots[size_t(slot - 1)];
        int tag = -1;
        if (instance)
            for (const auto& entry : catalogue)
                if (FromFile(*instance, *entry)) tag = entry->CatalogueIndex;
        Chain.Label(slot).Tag = tag;
    }
    Chain.Engine.RebuildActiveOrder();
    // The panel's controls point at the values of the instances that were replaced.
    Chain.RefreshSlots(Chain.SelectedSlot, true);
    if (Chain.LabelsChanged) Chain.LabelsChanged();
}
