#include "library/LibraryFiles.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::string Trim(const std::string& s) {
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

using TSections = std::map<std::string, std::vector<std::pair<std::string, std::string>>>;

TSections ReadSections(const std::string& path) {
    TSections sections;
    std::ifstream in(path, std::ios::binary);
    std::string line, current;
    while (std::getline(in, line)) {
        line = Trim(line);
        if (line.size() > 1 && line.front() == '[' && line.back() == ']') {
            current = Lower(line.substr(1, line.size() - 2));
            sections[current];
        } else if (const auto eq = line.find('='); eq != std::string::npos && !current.empty()) {
            sections[current].emplace_back(Trim(line.substr(0, eq)), Trim(line.substr(eq + 1)));
        }
    }
    return sections;
}

std::string Key(const TSections& s, const std::string& section, const std::string& key) {
    const auto it = s.find(section);
    if (it == s.end()) return {};
    for (const auto& [k, v] : it->second)
        if (Lower(k) == Lower(key)) return v;
    return {};
}

bool ParseFloat(const std::string& text, float& out) {
    const std::string t = Trim(text);
    if (t.empty()) return false;
    char* end = nullptr;
    out = std::strtof(t.c_str(), &end);
    return end == t.c_str() + t.size();
}

} // namespace

std::string LibraryFolder() { return std::string(LUMATEX_SOURCE_DIR) + "/data/"; }

std::vector<std::string> BundledPluginFiles() {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(LibraryFolder() + "plugins", ec))
        if (entry.is_regular_file() && Lower(entry.path().extension().string()) == ".ini")
            names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TLibraryDescription ReadLibraryDescription(const std::string& iniFileName) {
    const TSections s = ReadSections(LibraryFolder() + "plugins/" + iniFileName);
    TLibraryDescription d;
    d.ShaderFileName = Key(s, "filename", "ShaderFileName");
    d.FullName = Key(s, "screenname", "FullName");
    d.GroupName = Key(s, "group", "GroupName");
    d.Version = Key(s, "version", "PluginReader");
    bool ok = !d.ShaderFileName.empty() && !d.FullName.empty() && !d.GroupName.empty() && d.Version == "0.2";
    if (const auto p = s.find("provides"); p != s.end()) {
        auto flag = [&](const std::string& word, bool& out) {
            for (const auto& [k, v] : p->second) {
                const std::string line = Lower(k + "=" + v);
                if (line.find(word) != std::string::npos) {
                    out = line.find('1') != std::string::npos;
                    return;
                }
            }
        };
        flag("texture0", d.UsesTexture0);
        flag("texwidth", d.UsesTexWidth);
        flag("texheight", d.UsesTexHeight);
    }
    for (int n = 4; n >= 1; --n) {
        const auto it = s.find("parameter_u" + std::to_string(n) + "f");
        if (it == s.end()) continue;
        for (const auto& [name, value] : it->second) {
            TLibraryParam p;
            p.Components = n;
            p.UniformName = name;
            std::string rest = value;
            for (int k = 0; k < n; ++k) {
                const auto sep = rest.find(k + 1 < n ? ';' : ':');
                float f = 0.0f;
                ok = ParseFloat(rest.substr(0, sep), f) && sep != std::string::npos && ok;
                p.Value.push_back(f);
                rest = sep == std::string::npos ? std::string() : rest.substr(sep + 1);
            }
            const auto sep = rest.find(':');
            ok = ParseFloat(rest.substr(0, sep), p.Scale) && sep != std::string::npos && ok;
            p.Caption = sep == std::string::npos ? std::string() : Trim(rest.substr(sep + 1));
            d.Params.push_back(p);
        }
    }
    d.Readable = ok;
    return d;
}

std::string ShaderSourceText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string line, text;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        text += line + "\r\n";
    }
    return text;
}
