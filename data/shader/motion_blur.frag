#version 110
uniform sampler2D Texture0;
uniform sampler2D PreviousFrame;
uniform float frame;  // frames rendered since the source was opened
uniform float frames; // x 32 = how many frames the average spans
varying vec2 TexCoord;

void main()
{
    // A running average: each new frame weighs 1 / N, so a still picture stays as it is; the first frames
    // weigh more, so the average starts from the picture instead of fading in from black.
    float n = min(max(frames * 32.0, 1.0), frame + 1.0);
    vec3 now = texture2D(Texture0, TexCoord).rgb;
    vec3 before = texture2D(PreviousFrame, TexCoord).rgb;
    gl_FragColor = vec4(mix(before, now, 1.0 / n), 1.0);
}
