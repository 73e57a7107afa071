#version 110
uniform sampler2D Texture0;
uniform vec2 axis;  // position of the vertical and the horizontal mirror line; 1 = no line
uniform float side; // below 0.5 the half before the line is kept, from 0.5 on the half after it
varying vec2 TexCoord;

float Fold(float t, float line, bool keepAfter)
{
    if (line >= 1.0)
        return t;
    if (keepAfter)
        return t < line ? 2.0 * line - t : t;
    return t > line ? 2.0 * line - t : t;
}

void main()
{
    bool keepAfter = side >= 0.5;
    vec2 uv = vec2(Fold(TexCoord.x, axis.x, keepAfter), Fold(TexCoord.y, axis.y, keepAfter));
    gl_FragColor = vec4(texture2D(Texture0, uv).rgb, 1.0);
}
