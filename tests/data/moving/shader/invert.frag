// The negative of the picture.
uniform sampler2D Texture0;
void main()
{
    gl_FragColor = vec4(1.0 - texture2D(Texture0, gl_TexCoord[0].st).rgb, 1.0);
}
