#include "render/IsfFile.h"

#include "render/PassSizeExpression.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <optional>
#include <set>

using nlohmann::json;

namespace {

struct TTypeName {
    const char* Text;
    TIsfInputType Type;
    int Components;
};
constexpr std::array<TTypeName, 9> kTypeNames = {{{"event", TIsfInputType::Event, 1},
                                                  {"bool", TIsfInputType::Bool, 1},
                                                  {"long", TIsfInputType::Long, 1},
                                                  {"float", TIsfInputType::Float, 1},
                                                  {"point2D", TIsfInputType::Point2D, 2},
                                                  {"color", TIsfInputType::Color, 4},
                                                  {"image", TIsfInputType::Image, 0},
                                                  {"audio", TIsfInputType::Audio, 0},
                                                  {"audioFFT", TIsfInputType::AudioFFT, 0}}};

// A name becomes a GLSL identifier in the prelude: anything else would only fail later as a compile error
// far from its cause. Names the prelude itself uses are kept away the same way.
bool IsIdentifier(const std::string& name) {
    if (name.empty() || name.size() > 64) return false;
    if (!(std::isalpha(static_cast<unsigned char>(name[0])) || name[0] == '_')) return false;
    if (name.rfind("gl_", 0) == 0 || name.rfind("isf_", 0) == 0 || name.rfind("_isf", 0) == 0) return false;
    return std::all_of(name.begin(), name.end(),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; });
}

// The deepest nesting of brackets outside strings: the parser never sees a header deeper than allowed.
int NestingDepth(const std::string& text) {
    int depth = 0;
    int deepest = 0;
    bool inString = false;
    for (size_t k = 0; k < text.size(); ++k) {
        const char c = text[k];
        if (inString) {
            if (c == '\\')
                ++k;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            deepest = std::max(deepest, ++depth);
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return deepest;
}

std::optional<float> Number(const json& value) {
    if (value.is_boolean()) return value.get<bool>() ? 1.0f : 0.0f;
    if (!value.is_number()) return std::nullopt;
    const double number = value.get<double>();
    if (!std::isfinite(number) || std::abs(number) > 1e30) return std::nullopt;
    return float(number);
}

// A number or an array of count numbers into out; false for anything else.
bool Numbers(const json& value, int count, std::array<float, 4>& out) {
    if (count == 1) {
        const auto number = Number(value);
        if (number) out[0] = *number;
        return number.has_value();
    }
    if (!value.is_array() || value.size() != size_t(count)) return false;
    for (int k = 0; k < count; ++k) {
        const auto number = Number(value[size_t(k)]);
        if (!number) return false;
        out[size_t(k)] = *number;
    }
    return true;
}

std::string Text(const json& object, const char* key) {
    const auto found = object.find(key);
    return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
}

bool Flag(const json& object, const char* key) {
    const auto found = object.find(key);
    if (found == object.end()) return false;
    if (found->is_boolean()) return found->get<bool>();
    if (found->is_number()) return found->get<double>() != 0.0;
    if (found->is_string()) return found->get<std::string>() == "true" || found->get<std::string>() == "1";
    return false;
}

// A size formula may be written as a bare number.
std::string Formula(const json& object, const char* key) {
    const auto found = object.find(key);
    if (found == object.end()) return {};
    if (found->is_number()) return found->dump();
    return found->is_string() ? found->get<std::string>() : std::string("?");
}

class TReader {
public:
    TReader(TIsfFile& file, std::vector<std::string>& problems) : File(file), Problems(problems) {}

    void Header(const json& top) {
        File.Name = Text(top, "NAME");
        File.Description = Text(top, "DESCRIPTION");
        if (const auto c = top.find("CATEGORIES"); c != top.end() && c->is_array())
            for (const json& category : *c)
                if (category.is_string()) File.Categories.push_back(category.get<std::string>());
        Inputs(top);
        Passes(top);
        Imported(top);
        Kind();
    }

private:
    void Fail(const std::string& why) { Problems.push_back(why); }

    void Inputs(const json& top) {
        const auto inputs = top.find("INPUTS");
        if (inputs == top.end()) return;
        if (!inputs->is_array()) return Fail("INPUTS is not a list");
        if (inputs->size() > kMaxIsfInputs)
            return Fail("more than " + std::to_string(kMaxIsfInputs) + " INPUTS");
        std::set<std::string> names;
        for (const json& entry : *inputs) {
            if (!entry.is_object()) {
                Fail("an INPUT is not an object");
                continue;
            }
            TIsfInput input;
            if (!ReadInput(entry, input)) continue;
            if (!names.insert(input.Name).second) {
                Fail("two INPUTS are named \"" + input.Name + "\"");
                continue;
            }
            File.Inputs.push_back(std::move(input));
        }
    }

    bool ReadInput(const json& entry, TIsfInput& input) {
        input.Name = Text(entry, "NAME");
        if (input.Name.empty()) {
            Fail("an INPUT has no NAME");
            return false;
        }
        const std::string quoted = "input \"" + input.Name + "\"";
        if (!IsIdentifier(input.Name)) {
            Fail(quoted + ": the NAME is not a name a shader can use");
            return false;
        }
        input.Label = Text(entry, "LABEL");
        if (input.Label.empty()) input.Label = input.Name;
        const std::string type = Text(entry, "TYPE");
        const auto known = std::find_if(kTypeNames.begin(), kTypeNames.end(),
                                        [&](const TTypeName& t) { return type == t.Text; });
        if (known == kTypeNames.end()) {
            Fail(quoted + ": unknown TYPE \"" + type + "\"");
            return false;
        }
        input.Type = known->Type;
        input.Components = known->Components;
        if (input.Type == TIsfInputType::Audio || input.Type == TIsfInputType::AudioFFT) {
            Fail(quoted + ": sound inputs (" + type +
                 ") are not supported in effect files; a description file with the provides key "
                 "\"audio\" gives a plugin the sound");
            return false;
        }
        if (input.Type == TIsfInputType::Long) return ReadLong(entry, input, quoted);
        if (input.Components == 0) return true;
        return ReadRange(entry, input, quoted);
    }

    bool ReadRange(const json& entry, TIsfInput& input, const std::string& quoted) {
        const int n = input.Components;
        if (input.Type == TIsfInputType::Point2D) input.Max = {0, 0, 0, 0};
        const bool hasMin = entry.contains("MIN");
        const bool hasMax = entry.contains("MAX");
        const bool scaled = input.Type == TIsfInputType::Float || input.Type == TIsfInputType::Point2D ||
                            input.Type == TIsfInputType::Color;
        if (scaled && (hasMin || hasMax)) {
            if (!hasMin || !hasMax || !Numbers(entry["MIN"], n, input.Min) ||
                !Numbers(entry["MAX"], n, input.Max)) {
                Fail(quoted + ": MIN and MAX must both be given, as " + std::to_string(n) + " number(s)");
                return false;
            }
            input.HasRange = true;
        } else if (input.Type == TIsfInputType::Float) {
            input.HasRange = true; // 0..1
        }
        if (input.Type == TIsfInputType::Color) {
            if (!hasMin) input.Min = {0, 0, 0, 0};
            if (!hasMax) input.Max = {1, 1, 1, 1};
            input.HasRange = true;
        }
        if (input.Type == TIsfInputType::Event || input.Type == TIsfInputType::Bool) {
            input.Min = {0, 0, 0, 0};
            input.Max = {1, 1, 1, 1};
            input.HasRange = true;
        }
        for (int k = 0; k < n; ++k)
            if (input.HasRange && input.Min[size_t(k)] > input.Max[size_t(k)]) {
                Fail(quoted + ": MIN is above MAX");
                return false;
            }
        if (input.HasRange)
            for (int k = 0; k < n; ++k)
                input.Default[size_t(k)] =
                    input.Type == TIsfInputType::Color ? input.Max[size_t(k)] : input.Min[size_t(k)];
        // Without a range the point is in pixels of a nominal 512 x 512 picture: the centre unless told.
        if (input.Type == TIsfInputType::Point2D && !input.HasRange) input.Default = {256.0f, 256.0f, 0, 0};
        if (const auto d = entry.find("DEFAULT"); d != entry.end() && input.Type != TIsfInputType::Event) {
            if (!Numbers(*d, n, input.Default)) {
                Fail(quoted + ": DEFAULT must be " + std::to_string(n) + " number(s)");
                return false;
            }
            for (int k = 0; k < n && input.HasRange; ++k)
                if (input.Default[size_t(k)] < input.Min[size_t(k)] ||
                    input.Default[size_t(k)] > input.Max[size_t(k)]) {
                    Fail(quoted + ": DEFAULT is outside MIN..MAX");
                    return false;
                }
        }
        return true;
    }

    bool ReadLong(const json& entry, TIsfInput& input, const std::string& quoted) {
        const auto values = entry.find("VALUES");
        const auto labels = entry.find("LABELS");
        if (values != entry.end()) {
            if (!values->is_array() || values->empty() || values->size() > kMaxIsfLongValues) {
                Fail(quoted + ": VALUES must be a list of 1 to " + std::to_string(kMaxIsfLongValues) +
                     " numbers");
                return false;
            }
            for (const json& v : *values) {
                const auto number = Number(v);
                if (!number) {
                    Fail(quoted + ": VALUES holds something that is not a number");
                    return false;
                }
                input.Values.push_back(int(std::lround(*number)));
            }
        } else {
            // Without VALUES, MIN..MAX lists the whole numbers between them.
            std::array<float, 4> lo{}, hi{};
            const bool range = entry.contains("MIN") && entry.contains("MAX") &&
                               Numbers(entry["MIN"], 1, lo) && Numbers(entry["MAX"], 1, hi);
            if (!range || hi[0] - lo[0] >= float(kMaxIsfLongValues)) {
                Fail(quoted + ": a long input needs VALUES, or MIN and MAX at most " +
                     std::to_string(kMaxIsfLongValues - 1) + " apart");
                return false;
            }
            if (lo[0] > hi[0]) {
                Fail(quoted + ": MIN is above MAX");
                return false;
            }
            for (int v = int(std::lround(lo[0])); v <= int(std::lround(hi[0])); ++v)
                input.Values.push_back(v);
        }
        if (labels != entry.end()) {
            if (!labels->is_array() || labels->size() != input.Values.size()) {
                Fail(quoted + ": VALUES and LABELS have different lengths");
                return false;
            }
            for (const json& l : *labels)
                input.Labels.push_back(l.is_string() ? l.get<std::string>() : l.dump());
        } else {
            for (int v : input.Values)
                input.Labels.push_back(std::to_string(v));
        }
        input.Min = {0, 0, 0, 0};
        input.Max = {float(input.Values.size() - 1), 0, 0, 0};
        input.HasRange = true;
        input.Default[0] = 0.0f;
        if (const auto d = entry.find("DEFAULT"); d != entry.end()) {
            const auto number = Number(*d);
            const auto at =
                number ? std::find(input.Values.begin(), input.Values.end(), int(std::lround(*number)))
                       : input.Values.end();
            if (at == input.Values.end()) {
                Fail(quoted + ": DEFAULT is not one of the VALUES");
                return false;
            }
            input.Default[0] = float(at - input.Values.begin()); // the index, as bars and presets keep it
        }
        return true;
    }

    void Passes(const json& top) {
        std::set<std::string> persistentNames;
        if (const auto p = top.find("PERSISTENT_BUFFERS"); p != top.end()) {
            // The older spelling: a list of names, or an object keyed by them.
            if (p->is_array())
                for (const json& name : *p)
                    if (name.is_string()) persistentNames.insert(name.get<std::string>());
            if (p->is_object())
                for (const auto& item : p->items())
                    persistentNames.insert(item.key());
        }
        const auto passes = top.find("PASSES");
        if (passes != top.end() && !passes->is_array()) Fail("PASSES is not a list");
        if (passes != top.end() && passes->size() > kMaxIsfPasses)
            Fail("more than " + std::to_string(kMaxIsfPasses) + " PASSES");
        if (passes != top.end() && passes->is_array() && passes->size() <= kMaxIsfPasses)
            for (const json& entry : *passes) {
                if (!entry.is_object()) {
                    Fail("a pass is not an object");
                    continue;
                }
                TIsfPass pass;
                pass.Target = Text(entry, "TARGET");
                pass.Width = Formula(entry, "WIDTH");
                pass.Height = Formula(entry, "HEIGHT");
                pass.Persistent = Flag(entry, "PERSISTENT") || persistentNames.count(pass.Target) > 0;
                pass.Float = Flag(entry, "FLOAT");
                File.Passes.push_back(pass);
            }
        if (File.Passes.empty()) File.Passes.emplace_back();
        CheckPasses();
    }

    void CheckPasses() {
        std::set<std::string> targets;
        std::set<std::string> persistent;
        TPassSizeExpression::TVariables variables = {{"WIDTH", 512.0}, {"HEIGHT", 512.0}};
        for (const TIsfInput& input : File.Inputs)
            if (input.Components == 1) variables[input.Name] = input.Default[0];
        for (const TIsfPass& pass : File.Passes) {
            if (!pass.Target.empty()) {
                const std::string quoted = "pass target \"" + pass.Target + "\"";
                if (!IsIdentifier(pass.Target)) Fail(quoted + " is not a name a shader can use");
                if (File.FindInput(pass.Target)) Fail(quoted + " is also the name of an input");
                if (pass.Persistent && !persistent.insert(pass.Target).second)
                    Fail("the persistent " + quoted + " is used by two passes");
                else if (!pass.Persistent && persistent.count(pass.Target))
                    Fail("the persistent " + quoted + " is used by two passes");
                targets.insert(pass.Target);
            }
            for (const std::string* formula : {&pass.Width, &pass.Height}) {
                std::string why;
                if (!formula->empty() && !TPassSizeExpression::Evaluate(*formula, variables, why)) Fail(why);
            }
        }
    }

    void Imported(const json& top) {
        const auto imported = top.find("IMPORTED");
        if (imported == top.end()) return;
        std::vector<std::pair<std::string, const json*>> entries;
        if (imported->is_object())
            for (const auto& item : imported->items())
                entries.emplace_back(item.key(), &item.value());
        else if (imported->is_array())
            for (const json& item : *imported)
                entries.emplace_back(item.is_object() ? Text(item, "NAME") : std::string(), &item);
        else
            return Fail("IMPORTED is neither an object nor a list");
        for (const auto& [name, entry] : entries) {
            const std::string path = entry->is_object() ? Text(*entry, "PATH") : std::string();
            const std::string quoted = "imported image \"" + name + "\"";
            if (!IsIdentifier(name) || File.FindInput(name)) {
                Fail(quoted + ": the name is not a free name a shader can use");
            } else if (path.empty()) {
                Fail(quoted + " has no PATH");
            } else if (path[0] == '/' || path.find("..") != std::string::npos ||
                       path.find('\\') != std::string::npos) {
                Fail(quoted + ": the PATH \"" + path + "\" leads out of the plugin's folder");
            } else {
                File.Imported.push_back({name, path});
            }
        }
    }

    void Kind() {
        const TIsfInput* input = File.FindInput("inputImage");
        const TIsfInput* start = File.FindInput("startImage");
        const TIsfInput* end = File.FindInput("endImage");
        auto isImage = [](const TIsfInput* i) { return i && i->Type == TIsfInputType::Image; };
        if (isImage(start) && isImage(end)) {
            File.Kind = TIsfKind::Transition;
            Fail("transitions (startImage and endImage) are not supported: a chain slot has one picture "
                 "coming in");
            return;
        }
        File.Kind = isImage(input) ? TIsfKind::Filter : TIsfKind::Generator;
    }

    TIsfFile& File;
    std::vector<std::string>& Problems;
};

} // namespace

bool TIsfFile::Read(const std::string& text, std::vector<std::string>& problems) {
    *this = TIsfFile();
    const size_t before = problems.size();
    const size_t open = text.find_first_not_of(" \t\r\n");
    if (open == std::string::npos || text.compare(open, 2, "/*") != 0) {
        problems.push_back("the file does not start with a comment holding the JSON header");
        return false;
    }
    const size_t close = text.find("*/", open + 2);
    if (close == std::string::npos) {
        problems.push_back("the header comment is never closed");
        return false;
    }
    const std::string header = text.substr(open + 2, close - open - 2);
    if (header.size() > kMaxIsfHeaderBytes) {
        problems.push_back("the JSON header is larger than " + std::to_string(kMaxIsfHeaderBytes / 1024) +
                           " KiB");
        return false;
    }
    if (NestingDepth(header) > kMaxIsfHeaderDepth) {
        problems.push_back("the JSON header is nested deeper than " + std::to_string(kMaxIsfHeaderDepth) +
                           " levels");
        return false;
    }
    const json top = json::parse(header, nullptr, false);
    if (top.is_discarded() || !top.is_object()) {
        problems.push_back("the header is not a JSON object");
        return false;
    }
    try {
        TReader(*this, problems).Header(top);
    } catch (const json::exception& e) {
        // Type mismatches the checks above missed: a refusal like any other, never a crash.
        problems.push_back(std::string("the JSON header cannot be used: ") + e.what());
    }
    Body = text.substr(close + 2);
    BodyFirstLine = 1 + int(std::count(text.begin(), text.begin() + std::ptrdiff_t(close + 2), '\n'));
    return problems.size() == before;
}

const TIsfInput* TIsfFile::FindInput(const std::string& name) const {
    for (const TIsfInput& input : Inputs)
        if (input.Name == name) return &input;
    return nullptr;
}

bool TIsfFile::HasPassTargets() const {
    return std::any_of(Passes.begin(), Passes.end(), [](const TIsfPass& p) { return !p.Target.empty(); });
}
