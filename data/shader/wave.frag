#version 110
uniform sampler2D Texture0;
uniform float texWidth;
uniform float texHeight;
uniform float waves;     // x 32 = number of waves across the picture
uniform vec2 amplitude;  // x 32 = sideways and up/down swing in texels
varying vec2 TexCoord;

void main()
{
    vec2 swing = amplitude * 32.0 / vec2(texWidth, texHeight);
    float k = waves * 32.0 * 6.2831853;
    vec2 uv = TexCoord + vec2(sin(TexCoord.y * k) * swing.x, sin(TexCoord.x * k) * swing.y);
    gl_FragColor = vec4(texture2D(Texture0, uv).rgb, 1.0);
}
