#version 110
uniform sampler2D Texture0;
uniform float amount; // 0 = original, 1 = negative
varying vec2 TexCoord;

void main()
{
    vec3 c = texture2D(Texture0, TexCoord).rgb;
    gl_FragColor = vec4(mix(c, vec3(1.0) - c, clamp(amount, 0.0, 1.0)), 1.0);
}
