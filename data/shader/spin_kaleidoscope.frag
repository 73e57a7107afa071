#version 110
uniform sampler2D Texture0;
uniform float time;
uniform vec2 spin; // x: x 16 = number of wedges, y: turning speed, 0.5 stands still
varying vec2 TexCoord;

void main()
{
    float n = max(floor(spin.x * 16.0 + 0.5), 1.0);
    vec2 d = TexCoord - 0.5;
    float a = (abs(d.x) + abs(d.y) > 0.0) ? atan(d.y, d.x) : 0.0;
    a += time * (spin.y - 0.5) * 4.0;
    float wedge = 6.2831853 / n;
    a = mod(a, wedge);
    if (a > wedge * 0.5)
        a = wedge - a;
    vec2 uv = 0.5 + length(d) * vec2(cos(a), sin(a));
    uv = vec2(1.0) - abs(vec2(1.0) - mod(uv, 2.0));
    gl_FragColor = vec4(texture2D(Texture0, uv).rgb, 1.0);
}
