// GL.h: the one way engine code reaches OpenGL. libepoxy resolves every entry point for whichever
// window system made the current context; Qt's GL headers must never share a translation unit with it.
#pragma once

#include <epoxy/gl.h>
