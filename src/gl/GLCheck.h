// GLCheck.h: the start-up check of the driver's extensions, and the process flag it decides.
// GUI thread; the forms without an extension string read the current context (glGetString(GL_EXTENSIONS)).
#pragma once

#include <string>
#include <string_view>
#include <vector>

// False once the check finds "GL_ARB_texture_non_power_of_two" missing; restricts video and image sizes.
extern bool NpotSupported;

inline constexpr const char* kGLMissingFunctionsText =
    "Some needed functions are not supported by your gfx-card:\n\r";
inline constexpr const char* kGLQuitText = "The program will quit now...";
inline constexpr const char* kGLNpotWarningText =
    "Your gfx-card doesnt support the GL_ARB_texture_non_power_of_two extension.\n\r"
    "Only videos with a size of power of two will be supported.\n\r"
    "Images will be automatically resized to match power of two.";

// The names of an extension string split at every blank, in order: two blanks in a row give an empty
// name, and the text after the last blank is a name too. The list grows as needed, so no name of a long
// driver string is dropped.
std::vector<std::string> SplitExtensionNames(std::string_view extensions);

// Whole-name comparison without regard to ASCII case: a longer name that starts with name does not match.
bool IsExtensionSupported(std::string_view extensions, std::string_view name);
bool IsExtensionSupported(std::string_view name);

// The current context's extension string; empty without a context or when the driver gives none.
std::string CurrentGLExtensions();

// Sets NpotSupported. Missing shader objects, framebuffer objects or either pixel-buffer name: the
// "will quit" warning naming every missing extension, false. Only non-power-of-two textures missing: the
// three-line warning, true. Messages go to the message sink with caption "Lumatex" and the warning icon.
bool CheckGLAndExtensions(std::string_view extensions);
bool CheckGLAndExtensions();
