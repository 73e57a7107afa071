#version 110
uniform sampler2D Texture0;
uniform float texWidth;
uniform float texHeight;
uniform float amount; // x 4 = strength of the edge boost
varying vec2 TexCoord;

void main()
{
    vec2 texel = vec2(1.0 / texWidth, 1.0 / texHeight);
    vec3 c = texture2D(Texture0, TexCoord).rgb;
    vec3 around = texture2D(Texture0, TexCoord + vec2(texel.x, 0.0)).rgb
                + texture2D(Texture0, TexCoord - vec2(texel.x, 0.0)).rgb
                + texture2D(Texture0, TexCoord + vec2(0.0, texel.y)).rgb
                + texture2D(Texture0, TexCoord - vec2(0.0, texel.y)).rgb;
    gl_FragColor = vec4(clamp(c + (4.0 * c - around) * amount * 4.0, 0.0, 1.0), 1.0);
}
