// Does not compile: a pass through it has no program.
uniform sampler2D Texture0;
void main()
{
    gl_FragColor = texture2D(Texture0, gl_TexCoord[0].st) +;
}
