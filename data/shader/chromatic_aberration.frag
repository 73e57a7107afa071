#version 110
uniform sampler2D Texture0;
uniform float texWidth;
uniform float texHeight;
uniform float amount; // x 16 = shift of red and blue at the corners, in texels
uniform vec2 centre;  // where the lens has no colour fringe (fractions of the picture)
varying vec2 TexCoord;

void main()
{
    // Fringes grow with the distance from the centre, red outwards and blue inwards.
    vec2 d = (TexCoord - centre) / 0.70710678;
    vec2 shift = d * amount * 16.0 / vec2(texWidth, texHeight);
    float r = texture2D(Texture0, TexCoord + shift).r;
    float g = texture2D(Texture0, TexCoord).g;
    float b = texture2D(Texture0, TexCoord - shift).b;
    gl_FragColor = vec4(r, g, b, 1.0);
}
