#version 110
uniform sampler2D Texture0;
uniform float time; // seconds since the source started
uniform vec2 drift; // x: how far the channels part, y: how fast they circle
varying vec2 TexCoord;

void main()
{
    // Red and blue circle the picture in opposite directions, green stays: a split that breathes.
    float a = time * drift.y * 10.0 * 6.2831853;
    vec2 offset = vec2(cos(a), sin(a)) * drift.x * 0.1;
    float r = texture2D(Texture0, clamp(TexCoord + offset, 0.0, 1.0)).r;
    float g = texture2D(Texture0, TexCoord).g;
    float b = texture2D(Texture0, clamp(TexCoord - offset, 0.0, 1.0)).b;
    gl_FragColor = vec4(r, g, b, 1.0);
}
