// Shows the unprocessed source, whatever the passes before did.
uniform sampler2D Original;
void main()
{
    gl_FragColor = vec4(texture2D(Original, gl_TexCoord[0].st).rgb, 1.0);
}
