#version 110
uniform sampler2D Texture0;
uniform sampler2D PreviousFrame;
uniform float frame; // frames rendered since the source was opened
uniform float hold;  // x 32 = frames a picture stays
varying vec2 TexCoord;

void main()
{
    // A new picture every N frames; in between the slot shows what it showed before.
    float n = max(floor(hold * 32.0 + 0.5), 1.0);
    bool take = mod(frame, n) < 0.5;
    vec3 now = texture2D(Texture0, TexCoord).rgb;
    vec3 before = texture2D(PreviousFrame, TexCoord).rgb;
    gl_FragColor = vec4(take ? now : before, 1.0);
}
