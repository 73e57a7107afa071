uniform sampler2D Texture0;
uniform float texWidth;
uniform vec4 weights;
uniform vec3 tint;
uniform vec2 scale;
uniform vec2 offset;
uniform float amount;
void main()
{
    vec2 uv = gl_TexCoord[0].xy * scale * 2.0 + offset + vec2(0.0 * texWidth);
    vec4 c = texture2D(Texture0, uv);
    vec3 mixed = mix(c.rgb, c.rgb * tint * weights.xyz * weights.w, amount);
    gl_FragColor = vec4(mixed, 1.0);
}
