#version 110
uniform sampler2D Texture0;
uniform sampler2D TealOrange; // 256 x 16 strips: blue picks the tile, red grows right, green grows up
uniform sampler2D WarmFade;
uniform sampler2D ColdNight;
uniform vec2 grade; // x: which look, y: how much of it
varying vec2 TexCoord;

vec3 Grade(sampler2D lut, vec3 c)
{
    float b = clamp(c.b, 0.0, 1.0) * 15.0;
    float b0 = floor(b);
    float b1 = min(b0 + 1.0, 15.0);
    vec2 rg = (clamp(c.rg, 0.0, 1.0) * 15.0 + 0.5) / vec2(256.0, 16.0);
    vec3 c0 = texture2D(lut, rg + vec2(b0 / 16.0, 0.0)).rgb;
    vec3 c1 = texture2D(lut, rg + vec2(b1 / 16.0, 0.0)).rgb;
    return mix(c0, c1, b - b0);
}

void main()
{
    vec3 c = texture2D(Texture0, TexCoord).rgb;
    vec3 look = grade.x < 0.34 ? Grade(TealOrange, c) : (grade.x < 0.67 ? Grade(WarmFade, c) : Grade(ColdNight, c));
    gl_FragColor = vec4(mix(c, look, grade.y), 1.0);
}
