#version 110
uniform sampler2D Texture0;
uniform vec4 audioLevel;        // overall, bass, mid, treble: 0..1, smoothed
uniform sampler2D AudioSpectrum; // row 0 (t = 0.25) spectrum, row 1 (t = 0.75) waveform
uniform vec2 pulse;             // x: zoom, y: flash
varying vec2 TexCoord;

void main()
{
    // The picture leaps toward the viewer with the loudness and flashes with the lowest bins: the kick.
    float zoom = 1.0 + pulse.x * 0.25 * audioLevel.x;
    vec2 uv = (TexCoord - 0.5) / zoom + 0.5;
    float kick = (texture2D(AudioSpectrum, vec2(1.5 / 512.0, 0.25)).r +
                  texture2D(AudioSpectrum, vec2(3.5 / 512.0, 0.25)).r) * 0.5;
    vec3 colour = texture2D(Texture0, uv).rgb;
    colour += (1.0 - colour) * pulse.y * kick * kick;
    gl_FragColor = vec4(clamp(colour, 0.0, 1.0), 1.0);
}
