// Source times tint times twice the amount; alpha shows the texture width the plugin sends.
uniform sampler2D Texture0;
uniform float texWidth;
uniform float amount;
uniform vec3 tint;

void main()
{
    vec3 source = texture2D(Texture0, gl_TexCoord[0].st).rgb;
    gl_FragColor = vec4(source * tint * (2.0 * amount), texWidth / 1024.0);
}
