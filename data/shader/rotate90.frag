#version 110
uniform sampler2D Texture0;
varying vec2 TexCoord;

void main()
{
    gl_FragColor = vec4(texture2D(Texture0, TexCoord).rgb, 1.0);
}
