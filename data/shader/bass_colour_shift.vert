#version 110
// One quad over the whole target: the fixed-function transform places it, and the corner
// texture coordinates (0 or 1) arrive as set 0.
varying vec2 TexCoord;

void main()
{
    TexCoord = gl_MultiTexCoord0.st;
    gl_Position = ftransform();
}
