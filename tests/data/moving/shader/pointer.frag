// The target size and the pointer as a colour: red width / 1024, green height / 1024, blue the pointer x
// plus a half for the left button and a quarter for the right one; the pointer y only shows in alpha.
uniform vec2 resolution;
uniform vec4 mouse;
void main()
{
    gl_FragColor = vec4(resolution.x / 1024.0, resolution.y / 1024.0, mouse.x * 0.25 + mouse.z * 0.5 + mouse.w * 0.25, 1.0);
}
