#version 110
uniform float turns; // x 4 = number of quarter turns
varying vec2 TexCoord;

void main()
{
    float n = mod(floor(turns * 4.0 + 0.5), 4.0);
    vec2 t = gl_MultiTexCoord0.st;
    if (n == 1.0)
        t = vec2(t.y, 1.0 - t.x);
    else if (n == 2.0)
        t = vec2(1.0) - t;
    else if (n == 3.0)
        t = vec2(1.0 - t.y, t.x);
    TexCoord = t;
    gl_Position = ftransform();
}
