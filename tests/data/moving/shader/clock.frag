// The clock as a colour: red time / 4, green timeDelta x 10, blue frame / 100.
uniform float time;
uniform float timeDelta;
uniform float frame;
void main()
{
    gl_FragColor = vec4(time / 4.0, timeDelta * 10.0, frame / 100.0, 1.0);
}
