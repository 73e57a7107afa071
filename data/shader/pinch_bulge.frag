#version 110
uniform sampler2D Texture0;
uniform float strength; // x 2: 1 = unchanged, below pinches, above bulges
uniform vec3 area;      // centre x, centre y, radius (fractions of the picture)
varying vec2 TexCoord;

void main()
{
    vec2 d = TexCoord - area.xy;
    float radius = max(area.z, 0.001);
    // Kept away from zero: a negative power of zero would be infinite at the very centre.
    float x = clamp(length(d) / radius, 0.0001, 1.0);
    float k = strength * 2.0 - 1.0;
    vec2 uv = area.xy + d * pow(x, k);
    gl_FragColor = vec4(texture2D(Texture0, uv).rgb, 1.0);
}
