// The effect file reader on arbitrary bytes, read as a whole file and as the JSON inside a header comment
// (so that most runs reach the checks rather than the comment search): no crash, a refusal always says
// why, and what it accepts holds together as the plugin and its slot passes rely on.
#include "render/IsfFile.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

namespace {

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "fuzz_isf_header: %s\n", what);
        std::abort();
    }
}

void CheckInput(const TIsfInput& input) {
    Check(!input.Name.empty(), "an input without a name");
    for (int c = 0; c < input.Components; ++c) {
        Check(std::isfinite(input.Min[c]) && std::isfinite(input.Max[c]) && std::isfinite(input.Default[c]),
              "a number that is not finite");
        if (input.HasRange || input.Type == TIsfInputType::Float)
            Check(input.Min[c] <= input.Default[c] && input.Default[c] <= input.Max[c],
                  "a default outside its range");
    }
    if (input.Type == TIsfInputType::Long) {
        Check(!input.Values.empty() && input.Values.size() <= kMaxIsfLongValues, "long without values");
        Check(input.Labels.size() == input.Values.size(), "labels and values differ in number");
        // Bars and presets keep the index: it must pick one of the values.
        Check(input.Default[0] >= 0 && input.Default[0] < float(input.Values.size()) &&
                  input.Default[0] == std::floor(input.Default[0]),
              "a long's default is not an index");
    }
    Check(input.Type != TIsfInputType::Audio && input.Type != TIsfInputType::AudioFFT,
          "a sound input accepted");
}

void CheckAccepted(const TIsfFile& file) {
    Check(!file.Passes.empty() && file.Passes.size() <= kMaxIsfPasses, "pass count");
    Check(file.Inputs.size() <= kMaxIsfInputs, "input count");
    Check(file.Kind != TIsfKind::Transition, "a transition accepted");
    std::set<std::string> names;
    for (const TIsfInput& input : file.Inputs) {
        CheckInput(input);
        Check(names.insert(input.Name).second, "two inputs with one name");
    }
    std::set<std::string> persistent;
    for (const TIsfPass& pass : file.Passes)
        if (pass.Persistent && !pass.Target.empty())
            Check(persistent.insert(pass.Target).second, "a persistent target used twice");
    for (const TIsfImport& import : file.Imported)
        Check(!import.Path.empty() && import.Path[0] != '/' && import.Path.find("..") == std::string::npos,
              "an imported path leading out of the folder");
}

void ReadOne(const std::string& text) {
    TIsfFile file;
    std::vector<std::string> problems;
    const bool valid = file.Read(text, problems);
    Check(valid == problems.empty(), "a refusal without a reason, or a reason without a refusal");
    for (const std::string& problem : problems)
        Check(!problem.empty(), "an empty reason");
    if (valid) CheckAccepted(file);

    // Read again into the same object: nothing of the first reading may linger.
    std::vector<std::string> again;
    Check(file.Read(text, again) == valid && again == problems, "a second reading differs");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    ReadOne(bytes);
    ReadOne("/*" + bytes + "*/\nvoid main() { gl_FragColor = vec4(1.0); }\n");
    return 0;
}
