// uPluginReloader.h: TPluginReloader, live reload of plugin files. It remembers the files every catalogue
// entry was made from (its description, its shader pair, its look-up images) and the descriptions in the
// catalogue's folders; Poll tells when any of them changed, Reload rebuilds what changed: a changed entry
// and every slot instance made from it (keeping the parameter values whose uniforms still exist), a new
// description into the catalogue, a removed one out of it with its slots emptied. A description or shader
// that no longer builds leaves the working one running and is reported through OnProblem, not in a box.
// Keyed on each plugin's own files, so entries from several folders reload alike. Effect files (".fs") are
// watched as descriptions are, with their ".vs" and imported images as their shader and look-up images.
// GUI thread; Reload builds shader programs: the engine's context must be current. The chain outlives it.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <map>
#include <string>
#include <vector>

class TChainState;
class TShaderPlugin;

class TPluginReloader {
public:
    explicit TPluginReloader(TChainState& chain);

    void Snapshot();   // the files as they are now count as seen
    bool Poll() const; // some file differs from the snapshot (stat calls only)
    // Rebuilds what changed since the snapshot, then takes a new one. Answers whether the catalogue or a
    // slot changed.
    bool Reload();

    // A description or shader that does not build: its name and the reason (the driver's log included).
    std::function<void(const std::string& iniFileName, const std::string& problem)> OnProblem;

    // One file's state: missing, or its size and modification time.
    struct TStamp {
        bool Exists = false;
        int64_t Size = 0;
        int64_t ModifiedNs = 0;
        bool operator==(const TStamp&) const = default;
    };
    static TStamp StampOf(const std::string& path);

private:
    using TStamps = std::map<std::string, TStamp>;
    TStamps FilesOf(const TShaderPlugin& plugin) const;
    std::vector<std::string> DescriptionFolders() const;
    std::map<std::string, TStamp> ListDescriptions() const; // path -> stamp, for every folder
    bool ReloadEntry(size_t index);
    void RemoveEntry(size_t index);
    bool AddDescription(const std::string& path);
    void Renumber();

    TChainState& Chain;
    std::vector<TStamps> EntryFiles;            // per catalogue entry, in catalogue order
    std::map<std::string, TStamp> Descriptions; // every description file of the folders
};

// Copies every parameter value of from whose uniform name and kind still exist in to.
void KeepParameterValues(const TShaderPlugin& from, TShaderPlugin& to);
