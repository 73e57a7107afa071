// Adds a quarter of the picture to what this slot drew the frame before.
uniform sampler2D Texture0;
uniform sampler2D PreviousFrame;
void main()
{
    vec2 t = gl_TexCoord[0].st;
    gl_FragColor = vec4(min(texture2D(PreviousFrame, t).rgb + 0.25 * texture2D(Texture0, t).rgb, 1.0), 1.0);
}
