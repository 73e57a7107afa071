#version 110
uniform vec2 axes; // from 0.5 on: mirror the picture left-right (x) or top-bottom (y)
varying vec2 TexCoord;

void main()
{
    // Flipping the corner coordinates is enough: the interpolation does the rest, texel for texel.
    vec2 t = gl_MultiTexCoord0.st;
    if (axes.x >= 0.5)
        t.x = 1.0 - t.x;
    if (axes.y >= 0.5)
        t.y = 1.0 - t.y;
    TexCoord = t;
    gl_Position = ftransform();
}
