// Red and green say whether texWidth and texHeight are exactly 512; blue says the pass ran.
uniform float texWidth;
uniform float texHeight;
void main()
{
    gl_FragColor = vec4(texWidth == 512.0 ? 1.0 : 0.0, texHeight == 512.0 ? 1.0 : 0.0, 1.0, 1.0);
}
