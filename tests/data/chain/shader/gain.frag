uniform sampler2D Texture0;
uniform float gain;
uniform float bias;
void main()
{
    vec4 c = texture2D(Texture0, gl_TexCoord[0].xy);
    gl_FragColor = vec4(c.rgb * gain + vec3(bias), 1.0);
}
