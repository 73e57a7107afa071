// Shows the look-up image over the whole target, the way it is drawn.
uniform sampler2D Texture0;
uniform sampler2D Picture;
void main()
{
    gl_FragColor = vec4(texture2D(Picture, gl_TexCoord[0].st).rgb, 1.0);
}
