#version 110
uniform sampler2D Texture0;
uniform float levels; // x 32 = number of tones per channel, at least 2
varying vec2 TexCoord;

void main()
{
    vec3 c = texture2D(Texture0, TexCoord).rgb;
    float steps = max(floor(levels * 32.0 + 0.5), 2.0) - 1.0;
    gl_FragColor = vec4(floor(c * steps + 0.5) / steps, 1.0);
}
