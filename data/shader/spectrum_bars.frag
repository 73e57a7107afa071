#version 110
uniform sampler2D Texture0;
uniform vec4 audioLevel;
uniform sampler2D AudioSpectrum;
uniform vec2 bars;   // x: how many bars (8..128), y: the tallest bar's height
uniform vec4 colour; // rgb, a: opacity
varying vec2 TexCoord;

void main()
{
    vec3 picture = texture2D(Texture0, TexCoord).rgb;
    float count = floor(8.0 + bars.x * 120.0);
    float bar = floor(TexCoord.x * count);
    // Bars follow the ear rather than the bins: the low bins get more of the width.
    float centre = (bar + 0.5) / count;
    float bin = (floor(centre * centre * 511.0) + 0.5) / 512.0;
    float height = texture2D(AudioSpectrum, vec2(bin, 0.25)).r * bars.y;
    float gap = fract(TexCoord.x * count);
    float inside = step(TexCoord.y, height) * step(0.1, gap) * step(gap, 0.9);
    // The louder the whole, the brighter the bars' tops.
    float glow = 0.6 + 0.4 * audioLevel.x * (TexCoord.y / max(height, 0.001));
    vec3 barColour = clamp(colour.rgb * glow, 0.0, 1.0);
    gl_FragColor = vec4(mix(picture, barColour, inside * colour.a), 1.0);
}
