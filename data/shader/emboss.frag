#version 110
uniform sampler2D Texture0;
uniform float texWidth;
uniform float texHeight;
uniform float angle; // x 360 = direction of the light in degrees
uniform vec2 relief; // x 4 = strength, and distance of the two taps in texels
varying vec2 TexCoord;

void main()
{
    float a = radians(angle * 360.0);
    vec2 dir = vec2(cos(a), sin(a)) * max(relief.y * 4.0, 0.5) / vec2(texWidth, texHeight);
    vec3 luma = vec3(0.299, 0.587, 0.114);
    float d = dot(texture2D(Texture0, TexCoord + dir).rgb, luma)
            - dot(texture2D(Texture0, TexCoord - dir).rgb, luma);
    gl_FragColor = vec4(vec3(clamp(0.5 + d * relief.x * 4.0, 0.0, 1.0)), 1.0);
}
