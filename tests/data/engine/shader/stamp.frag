// A shift register: green moves to red, blue to green, and the blue channel takes this pass's mark, so the
// picture after a chain holds the marks of its last three passes in order.
uniform sampler2D Texture0;
uniform float mark;
void main()
{
    vec3 c = texture2D(Texture0, gl_TexCoord[0].st).rgb;
    gl_FragColor = vec4(c.g, c.b, mark, 1.0);
}
