// uShader.h: TShader, one GLSL program built from "<Folder><BaseName>.vert" and ".frag", with uniform
// setters by name. Problems are shown to the user at once (message sink, warning icon); nothing is raised.
// GUI thread; the GL context that owns the program must be current when it is created, used and destroyed.
// The header itself pulls in no GL header, so Qt code may include it (and uShaderPlugin.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

inline constexpr const char* kShaderFileMissingText = "Could not find shader file.";
inline constexpr const char* kShaderFileErrorCaption = "File error";
inline constexpr const char* kFragmentShaderErrorCaption = "FragmentShader error";
inline constexpr const char* kVertexShaderErrorCaption = "VertexShader error";

class TShader {
public:
    // Builds at once: either file missing -> one "Could not find shader file." message, ProgramHandle 0,
    // no GL call at all. Otherwise compiles (fragment first), shows each non-empty info log whatever the
    // compile status, links without checking, and sets Built. folder ends with "/".
    TShader(const std::string& folder, const std::string& baseName);
    // Builds from sources already in memory (a program generated around a file's body); name stands for
    // the files in messages. Compiles and links as above.
    TShader(const std::string& name, const std::string& vertexSource, const std::string& fragmentSource);
    TShader(const TShader&) = delete;
    TShader& operator=(const TShader&) = delete;
    ~TShader(); // deletes the program (and with it both shader objects) only when Built

    // The program linked: what a reload asks before it lets a new program replace a working one.
    bool Linked() const;

    void Enable();  // makes ProgramHandle current; 0 or a failed link leaves the fixed-function pipeline
    void Disable(); // back to the fixed-function pipeline

    // Act on the current program: Enable first. The location is looked up on every call; a name the
    // program does not use gives -1, which GL ignores.
    void SetUniform1i(const std::string& name, int32_t value);
    void SetUniform1f(const std::string& name, float x);
    void SetUniform2f(const std::string& name, float x, float y);
    void SetUniform3f(const std::string& name, float x, float y, float z);
    void SetUniform4f(const std::string& name, float x, float y, float z, float w);

    uint32_t ProgramHandle = 0; // a GLhandleARB; 0 when the source files were not found
    std::string Folder;
    std::string BaseName;
    std::vector<std::string> FragmentSource;
    std::vector<std::string> VertexSource;
    bool Built = false; // created, compiled and linked, whether or not that succeeded

    // The file's lines as a text list reads them: CR LF, LF and lone CR all end a line, a last line
    // needs no line end, and the text ends at a NUL byte. Joined back, every line ends in CR LF.
    static std::vector<std::string> SplitLines(const std::string& text);
    static std::string JoinLines(const std::vector<std::string>& lines);

private:
    uint32_t Build();
    uint32_t Compile();
};
