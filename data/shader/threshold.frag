#version 110
uniform sampler2D Texture0;
uniform float level;  // brightness at which a pixel turns light
uniform vec3 colour;  // colour of the light pixels; the others are black
varying vec2 TexCoord;

void main()
{
    vec3 c = texture2D(Texture0, TexCoord).rgb;
    float y = dot(c, vec3(0.299, 0.587, 0.114));
    gl_FragColor = vec4(colour * step(level, y), 1.0);
}
