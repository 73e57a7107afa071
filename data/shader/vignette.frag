#version 110
uniform sampler2D Texture0;
uniform vec2 radius; // where the darkening starts and where it is complete (1 = the corners)
uniform vec4 colour; // colour at the rim, alpha = strength
varying vec2 TexCoord;

void main()
{
    vec3 c = texture2D(Texture0, TexCoord).rgb;
    float d = length(TexCoord - 0.5) / 0.70710678;
    float inner = radius.x;
    float outer = max(radius.y, inner + 0.001);
    float v = smoothstep(inner, outer, d) * clamp(colour.a, 0.0, 1.0);
    gl_FragColor = vec4(mix(c, colour.rgb, v), 1.0);
}
