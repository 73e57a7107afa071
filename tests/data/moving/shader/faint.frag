// A value 8-bit framebuffers cannot hold: 1/1024 in every channel.
void main()
{
    gl_FragColor = vec4(1.0 / 1024.0, 1.0 / 1024.0, 1.0 / 1024.0, 1.0);
}
