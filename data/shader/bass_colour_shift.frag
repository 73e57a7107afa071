#version 110
uniform sampler2D Texture0;
uniform vec4 audioLevel;
uniform sampler2D AudioSpectrum;
uniform vec2 shift; // x: hue turn at full bass, y: how much each column's own band adds
varying vec2 TexCoord;

// Rotation about the grey axis: turns the hue, keeps the luminance near where it was.
vec3 TurnHue(vec3 c, float angle)
{
    const vec3 k = vec3(0.57735);
    float cosA = cos(angle);
    return c * cosA + cross(k, c) * sin(angle) + k * dot(k, c) * (1.0 - cosA);
}

void main()
{
    vec3 colour = texture2D(Texture0, TexCoord).rgb;
    float band = texture2D(AudioSpectrum, vec2(TexCoord.x * 0.25, 0.25)).r;
    float angle = 6.2831853 * (shift.x * audioLevel.y + shift.y * band);
    gl_FragColor = vec4(clamp(TurnHue(colour, angle), 0.0, 1.0), 1.0);
}
