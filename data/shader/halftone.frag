#version 110
uniform sampler2D Texture0;
uniform float texWidth;
uniform float texHeight;
uniform float cell;  // x 32 = distance of the dots in texels
uniform vec3 paper;  // colour between the dots
uniform vec4 ink;    // colour of the dots, alpha = opacity
varying vec2 TexCoord;

void main()
{
    vec2 texSize = vec2(texWidth, texHeight);
    float size = max(cell * 32.0, 2.0);
    // The dot screen is turned by 45 degrees, as in print; q counts cells along the screen.
    mat2 turn = mat2(0.70710678, -0.70710678, 0.70710678, 0.70710678);
    mat2 back = mat2(0.70710678, 0.70710678, -0.70710678, 0.70710678);
    vec2 q = turn * (TexCoord * texSize) / size;
    vec2 middle = floor(q) + 0.5;
    vec2 sampleAt = (back * (middle * size)) / texSize;
    float y = dot(texture2D(Texture0, sampleAt).rgb, vec3(0.299, 0.587, 0.114));
    // Dot area follows darkness; a radius of 0.71 cells makes touching dots for black.
    float radius = sqrt(1.0 - clamp(y, 0.0, 1.0)) * 0.70710678;
    float inside = 1.0 - smoothstep(radius - 0.06, radius + 0.06, length(q - middle));
    gl_FragColor = vec4(mix(paper, ink.rgb, inside * clamp(ink.a, 0.0, 1.0)), 1.0);
}
