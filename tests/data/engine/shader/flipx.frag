// Mirrors the picture left to right.
uniform sampler2D Texture0;
void main()
{
    vec2 st = gl_TexCoord[0].st;
    gl_FragColor = texture2D(Texture0, vec2(1.0 - st.s, st.t));
}
