#version 110
uniform sampler2D Texture0;
uniform sampler2D Original; // the source before any pass
uniform float wet;          // 0: the source alone, 1: the chain's picture alone
varying vec2 TexCoord;

void main()
{
    gl_FragColor = vec4(mix(texture2D(Original, TexCoord).rgb, texture2D(Texture0, TexCoord).rgb, wet), 1.0);
}
