// Adds amount to every channel: with "half" it makes a pair whose order shows.
uniform sampler2D Texture0;
uniform float amount;
void main()
{
    gl_FragColor = vec4(texture2D(Texture0, gl_TexCoord[0].st).rgb + vec3(amount), 1.0);
}
