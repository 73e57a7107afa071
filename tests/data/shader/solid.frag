// Fills with one colour: a uniform the tests set and read back from the drawing.
uniform vec4 colour;

void main()
{
    gl_FragColor = colour;
}