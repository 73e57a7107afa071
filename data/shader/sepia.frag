#version 110
uniform sampler2D Texture0;
uniform vec3 tone;    // colour of the mid tones
uniform float amount; // 0 = original, 1 = full sepia
varying vec2 TexCoord;

void main()
{
    vec3 c = texture2D(Texture0, TexCoord).rgb;
    float y = dot(c, vec3(0.299, 0.587, 0.114));
    // Toned mid tones, highlights drifting back towards white like aged paper.
    vec3 toned = clamp(y * tone + y * y * (vec3(1.0) - tone) * 0.5, 0.0, 1.0);
    gl_FragColor = vec4(mix(c, toned, clamp(amount, 0.0, 1.0)), 1.0);
}
