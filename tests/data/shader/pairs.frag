uniform vec2 scale;
uniform vec2 offset;

void main()
{
    gl_FragColor = vec4(scale, offset);
}
