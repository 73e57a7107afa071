#version 110
uniform sampler2D Texture0;
uniform float texWidth;
uniform float texHeight;
uniform vec2 blockSize; // x 64 = block width and height in texels
varying vec2 TexCoord;

void main()
{
    vec2 block = max(blockSize * 64.0, vec2(1.0)) / vec2(texWidth, texHeight);
    vec2 uv = (floor(TexCoord / block) + 0.5) * block;
    gl_FragColor = vec4(texture2D(Texture0, uv).rgb, 1.0);
}
