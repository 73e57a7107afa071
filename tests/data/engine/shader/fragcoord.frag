// Writes the window position of each fragment, in 1024ths, into red and green.
void main()
{
    gl_FragColor = vec4(gl_FragCoord.x / 1024.0, gl_FragCoord.y / 1024.0, 0.0, 1.0);
}
