// Places the quad by the fixed-function transform and hands texture coordinate set 0 on.
void main()
{
    gl_TexCoord[0] = gl_MultiTexCoord0;
    gl_Position = ftransform();
}
