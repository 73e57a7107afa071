#version 110
uniform sampler2D Texture0;
uniform float texWidth;
uniform float texHeight;
uniform float amount; // x 4 = how much of the detail is added back
uniform vec2 radius;  // x 8 = size of the blur in texels, horizontally and vertically
varying vec2 TexCoord;

void main()
{
    vec2 spread = vec2(1.0 / texWidth, 1.0 / texHeight) * (radius * 8.0 / 2.0);
    vec3 c = texture2D(Texture0, TexCoord).rgb;
    vec3 sum = vec3(0.0);
    float total = 0.0;
    for (int j = -2; j <= 2; ++j) {
        for (int i = -2; i <= 2; ++i) {
            vec2 o = vec2(float(i), float(j));
            float w = exp(-dot(o, o) / 2.0);
            sum += texture2D(Texture0, TexCoord + o * spread).rgb * w;
            total += w;
        }
    }
    vec3 detail = c - sum / total;
    gl_FragColor = vec4(clamp(c + detail * amount * 4.0, 0.0, 1.0), 1.0);
}
