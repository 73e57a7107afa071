#version 110
uniform sampler2D Texture0;
uniform vec2 inputRange; // input black point, input white point
uniform vec3 gamma;      // per channel; 0.25 = gamma 1
varying vec2 TexCoord;

void main()
{
    vec3 c = texture2D(Texture0, TexCoord).rgb;
    float black = inputRange.x;
    float white = max(inputRange.y, black + 1.0 / 255.0);
    vec3 t = clamp((c - black) / (white - black), 0.0, 1.0);
    vec3 g = max(gamma * 4.0, vec3(0.01));
    gl_FragColor = vec4(pow(t, vec3(1.0) / g), 1.0);
}
