#version 110
uniform sampler2D Texture0;
uniform float texWidth;
uniform float texHeight;
uniform float amplitude; // x 16 = swing of the rings in texels
uniform vec2 wave;       // x 64 = wavelength and phase shift in texels
uniform vec3 area;       // centre x, centre y, radius where the rings fade out (fractions)
varying vec2 TexCoord;

void main()
{
    vec2 texSize = vec2(texWidth, texHeight);
    vec2 d = (TexCoord - area.xy) * texSize;
    float r = length(d);
    float wavelength = max(wave.x * 64.0, 1.0);
    float fade = clamp(1.0 - length(TexCoord - area.xy) / max(area.z, 0.001), 0.0, 1.0);
    float swing = sin((r - wave.y * 64.0) / wavelength * 6.2831853) * amplitude * 16.0 * fade;
    vec2 dir = r > 0.0001 ? d / r : vec2(0.0);
    gl_FragColor = vec4(texture2D(Texture0, TexCoord + dir * swing / texSize).rgb, 1.0);
}
