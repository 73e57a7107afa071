#version 110
uniform sampler2D Texture0;
uniform vec3 source; // x 2 = channel feeding red, green, blue: 0 red, 1 green, 2 blue
varying vec2 TexCoord;

float Pick(float choice, vec3 c)
{
    float index = clamp(floor(choice * 2.0 + 0.5), 0.0, 2.0);
    return index < 0.5 ? c.r : (index < 1.5 ? c.g : c.b);
}

void main()
{
    vec3 c = texture2D(Texture0, TexCoord).rgb;
    gl_FragColor = vec4(Pick(source.x, c), Pick(source.y, c), Pick(source.z, c), 1.0);
}
