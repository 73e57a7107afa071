#extension GL_LUMATEX_no_such_extension : warn
void main()
{
    gl_FragColor = vec4(1.0);
}
