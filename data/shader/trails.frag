#version 110
uniform sampler2D Texture0;
uniform sampler2D PreviousFrame; // what this slot drew the frame before
uniform float decay;             // share of the previous frame that stays
varying vec2 TexCoord;

void main()
{
    vec3 now = texture2D(Texture0, TexCoord).rgb;
    vec3 before = texture2D(PreviousFrame, TexCoord).rgb;
    // The brighter of the fading trail and the new picture, so moving highlights leave streaks.
    gl_FragColor = vec4(max(now, before * clamp(decay, 0.0, 0.99)), 1.0);
}
