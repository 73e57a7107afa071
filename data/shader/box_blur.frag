#version 110
uniform sampler2D Texture0;
uniform float texWidth;
uniform float texHeight;
uniform float radius; // x 8 = reach in texels
varying vec2 TexCoord;

void main()
{
    // 7 x 7 equally weighted taps spread over the radius; the linear filter fills the gaps.
    vec2 spread = vec2(1.0 / texWidth, 1.0 / texHeight) * (radius * 8.0 / 3.0);
    vec3 sum = vec3(0.0);
    for (int j = -3; j <= 3; ++j)
        for (int i = -3; i <= 3; ++i)
            sum += texture2D(Texture0, TexCoord + vec2(float(i), float(j)) * spread).rgb;
    gl_FragColor = vec4(sum / 49.0, 1.0);
}
