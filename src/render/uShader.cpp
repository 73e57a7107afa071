#include "render/uShader.h"

#include "gl/GL.h"

#include "platform/Files.h"
#include "platform/MessageSink.h"

#include <type_traits>

static_assert(std::is_same_v<GLhandleARB, uint32_t>, "program handles are 32-bit names on this platform");

namespace {

std::vector<std::string> ReadLines(const std::string& path) {
    const auto bytes = ReadWholeFile(path);
    if (!bytes) return {};
    return TShader::SplitLines(std::string(bytes->begin(), bytes->end()));
}

std::string InfoLog(GLhandleARB object) {
    GLint length = 0;
    glGetObjectParameterivARB(object, GL_OBJECT_INFO_LOG_LENGTH_ARB, &length);
    if (length <= 1) return {};
    std::string log(static_cast<size_t>(length), '\0');
    GLsizei written = 0;
    glGetInfoLogARB(object, length, &written, log.data());
    log.resize(log.find('\0') == std::string::npos ? log.size() : log.find('\0'));
    return log;
}

void HandSource(GLhandleARB object, const std::string& text) {
    const GLcharARB* source = text.c_str();
    const GLint length = static_cast<GLint>(text.size());
    glShaderSourceARB(object, 1, &source, &length);
}

} // namespace

std::vector<std::string> TShader::SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    const size_t end = text.find('\0') == std::string::npos ? text.size() : text.find('\0');
    size_t start = 0;
    while (start < end) {
        size_t stop = start;
        while (stop < end && text[stop] != '\r' && text[stop] != '\n')
            ++stop;
        lines.push_back(text.substr(start, stop - start));
        if (stop < end && text[stop] == '\r') ++stop;
        if (stop < end && text[stop] == '\n') ++stop;
        start = stop;
    }
    return lines;
}

std::string TShader::JoinLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

TShader::TShader(const std::string& folder, const std::string& baseName)
    : Folder(folder), BaseName(baseName) {
    ProgramHandle = Build();
}

TShader::TShader(const std::string& name, const std::string& vertexSource, const std::string& fragmentSource)
    : BaseName(name), FragmentSource(SplitLines(fragmentSource)), VertexSource(SplitLines(vertexSource)) {
    ProgramHandle = Compile();
}

TShader::~TShader() {
    if (Built) glDeleteObjectARB(ProgramHandle);
}

uint32_t TShader::Build() {
    // Sources written on a case-insensitive file system keep working: exact name first, then any case.
    const auto fragmentFile = FindFileNoCase(Folder + BaseName + ".frag");
    const auto vertexFile = fragmentFile ? FindFileNoCase(Folder + BaseName + ".vert") : std::nullopt;
    if (!fragmentFile || !vertexFile) {
        ShowMessage(kShaderFileMissingText, kShaderFileErrorCaption, TMessageIcon::Warning);
        return 0;
    }
    VertexSource = ReadLines(*vertexFile);
    FragmentSource = ReadLines(*fragmentFile);
    return Compile();
}

uint32_t TShader::Compile() {

    const GLhandleARB program = glCreateProgramObjectARB();
    const GLhandleARB fragment = glCreateShaderObjectARB(GL_FRAGMENT_SHADER_ARB);
    const GLhandleARB vertex = glCreateShaderObjectARB(GL_VERTEX_SHADER_ARB);
    HandSource(vertex, JoinLines(VertexSource));
    HandSource(fragment, JoinLines(FragmentSource));
    glCompileShaderARB(fragment);
    glCompileShaderARB(vertex);
    // Warnings of a successful compile are shown too: the plugin author sees them while loading.
    if (const std::string log = InfoLog(fragment); !log.empty())
        ShowMessage(log, kFragmentShaderErrorCaption, TMessageIcon::Warning);
    if (const std::string log = InfoLog(vertex); !log.empty())
        ShowMessage(log, kVertexShaderErrorCaption, TMessageIcon::Warning);
    glAttachObjectARB(program, fragment);
    glAttachObjectARB(program, vertex);
    // Marked for deletion only: they live on while attached and go with the program.
    glDeleteObjectARB(fragment);
    glDeleteObjectARB(vertex);
    glLinkProgramARB(program);
    Built = true;
    return program;
}

bool TShader::Linked() const {
    if (!Built) return false;
    GLint linked = 0;
    glGetObjectParameterivARB(ProgramHandle, GL_OBJECT_LINK_STATUS_ARB, &linked);
    return linked != 0;
}

void TShader::Enable() {
    glUseProgramObjectARB(ProgramHandle);
}

void TShader::Disable() {
    glUseProgramObjectARB(0);
}

void TShader::SetUniform1i(const std::string& name, int32_t value) {
    glUniform1iARB(glGetUniformLocationARB(ProgramHandle, name.c_str()), value);
}

void TShader::SetUniform1f(const std::string& name, float x) {
    glUniform1fARB(glGetUniformLocationARB(ProgramHandle, name.c_str()), x);
}

void TShader::SetUniform2f(const std::string& name, float x, float y) {
    glUniform2fARB(glGetUniformLocationARB(ProgramHandle, name.c_str()), x, y);
}

void TShader::SetUniform3f(const std::string& name, float x, float y, float z) {
    glUniform3fARB(glGetUniformLocationARB(ProgramHandle, name.c_str()), x, y, z);
}

void TShader::SetUniform4f(const std::string& name, float x, float y, float z, float w) {
    glUniform4fARB(glGetUniformLocationARB(ProgramHandle, name.c_str()), x, y, z, w);
}
