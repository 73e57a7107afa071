#version 110
uniform sampler2D Texture0;
uniform float texWidth;
uniform float texHeight;
uniform vec2 radius; // x 16 = reach in texels, horizontally and vertically
varying vec2 TexCoord;

void main()
{
    // One pass of 9 x 9 taps with Gaussian weights; the outermost taps sit at two sigma.
    vec2 spread = vec2(1.0 / texWidth, 1.0 / texHeight) * (radius * 16.0 / 4.0);
    vec3 sum = vec3(0.0);
    float total = 0.0;
    for (int j = -4; j <= 4; ++j) {
        for (int i = -4; i <= 4; ++i) {
            vec2 o = vec2(float(i), float(j));
            float w = exp(-dot(o, o) / 8.0);
            sum += texture2D(Texture0, TexCoord + o * spread).rgb * w;
            total += w;
        }
    }
    gl_FragColor = vec4(sum / total, 1.0);
}
