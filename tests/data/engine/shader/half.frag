// Halves every channel.
uniform sampler2D Texture0;
void main()
{
    gl_FragColor = vec4(texture2D(Texture0, gl_TexCoord[0].st).rgb * 0.5, 1.0);
}
