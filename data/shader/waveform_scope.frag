#version 110
uniform sampler2D Texture0;
uniform vec4 audioLevel;
uniform sampler2D AudioSpectrum;
uniform vec2 resolution;
uniform float thickness; // 1..9 pixels
uniform vec4 colour;     // rgb, a: opacity
varying vec2 TexCoord;

void main()
{
    vec3 picture = texture2D(Texture0, TexCoord).rgb;
    // The latest samples from left to right, silence on the middle line; the neighbours' values close the
    // steep parts of the trace.
    float step1 = 1.0 / 512.0;
    float here = texture2D(AudioSpectrum, vec2(TexCoord.x, 0.75)).r;
    float left = texture2D(AudioSpectrum, vec2(TexCoord.x - step1, 0.75)).r;
    float right = texture2D(AudioSpectrum, vec2(TexCoord.x + step1, 0.75)).r;
    float low = min(here, min(left, right));
    float high = max(here, max(left, right));
    float pixel = 1.0 / max(resolution.y, 1.0);
    float halfWidth = (1.0 + thickness * 8.0) * 0.5 * pixel;
    float off = max(low - TexCoord.y, TexCoord.y - high);
    float line = 1.0 - smoothstep(halfWidth, halfWidth + pixel, off);
    // The louder, the brighter the trace.
    vec3 trace = clamp(colour.rgb * (0.7 + 0.3 * audioLevel.x), 0.0, 1.0);
    gl_FragColor = vec4(mix(picture, trace, line * colour.a), 1.0);
}
