#version 110
uniform sampler2D Texture0;
uniform float segments; // x 16 = number of mirrored wedges
uniform vec2 centre;    // centre of the pattern (fractions of the picture)
varying vec2 TexCoord;

void main()
{
    float n = max(floor(segments * 16.0 + 0.5), 1.0);
    vec2 d = TexCoord - centre;
    // atan has no value at the origin; any angle will do there.
    float a = (abs(d.x) + abs(d.y) > 0.0) ? atan(d.y, d.x) : 0.0;
    float wedge = 6.2831853 / n;
    a = mod(a, wedge);
    if (a > wedge * 0.5)
        a = wedge - a;
    vec2 uv = centre + length(d) * vec2(cos(a), sin(a));
    // Fold coordinates that leave the picture back into it instead of smearing the border.
    uv = vec2(1.0) - abs(vec2(1.0) - mod(uv, 2.0));
    gl_FragColor = vec4(texture2D(Texture0, uv).rgb, 1.0);
}
