// 256 times the picture: brings a faint value up to where 8 bits show it.
uniform sampler2D Texture0;
void main()
{
    gl_FragColor = vec4(min(texture2D(Texture0, gl_TexCoord[0].st).rgb * 256.0, 1.0), 1.0);
}
