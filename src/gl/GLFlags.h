// GLFlags.h: the version and extension flags read from the current context once it is made current, which
// the texture upload consults. GUI thread; the context must be current for ReadGLFlags.
#pragma once

#include <string>

struct TGLFlags {
    int Major = 0;
    int Minor = 0;
    bool Version12 = false;
    bool Version13 = false;
    bool Version14 = false;
    bool ExtBgra = false;
    bool SgisGenerateMipmap = false;
    bool ArbTextureCompression = false;
    bool ExtTextureCompressionS3tc = false;
    bool ArbTextureNonPowerOfTwo = false;
    bool ArbTextureRectangle = false;
    bool NvTextureRectangle = false;

    bool AtLeast(int major, int minor) const { return Major > major || (Major == major && Minor >= minor); }
};

// Flags of the context read last (all false before the first read).
TGLFlags& GLFlags();

// Reads the flags from the current context's version and extension strings.
void ReadGLFlags();

// Derives the flags from a version string ("4.5 (Compatibility Profile) Mesa 22.3.6", "2.1") and an
// extension string; a flag is true when the version reaches it or the extension is offered (whole names).
TGLFlags ParseGLFlags(const std::string& version, const std::string& extensions);
