#version 110
uniform sampler2D Texture0;
uniform float texHeight;
uniform vec2 lines;  // x 16 = spacing and thickness of the lines in texels
uniform vec4 colour; // colour of the lines, alpha = opacity
varying vec2 TexCoord;

void main()
{
    vec3 c = texture2D(Texture0, TexCoord).rgb;
    float spacing = max(lines.x * 16.0, 1.0);
    float row = mod(TexCoord.y * texHeight, spacing);
    float onLine = 1.0 - step(lines.y * 16.0, row);
    gl_FragColor = vec4(mix(c, colour.rgb, onLine * clamp(colour.a, 0.0, 1.0)), 1.0);
}
