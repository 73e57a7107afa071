uniform sampler2D Texture0;
void main()
{
    vec4 c = texture2D(Texture0, gl_TexCoord[0].xy);
    gl_FragColor = vec4(vec3(1.0) - c.rgb, 1.0);
}
