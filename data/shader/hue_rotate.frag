#version 110
uniform sampler2D Texture0;
uniform float angle; // 0..1 = a full turn of the colour wheel
varying vec2 TexCoord;

void main()
{
    vec3 c = texture2D(Texture0, TexCoord).rgb;
    // Rotation about the grey axis: greys stay put, every hue turns by the same angle.
    float a = angle * 6.2831853;
    vec3 k = vec3(0.57735027);
    float cs = cos(a);
    vec3 turned = c * cs + cross(k, c) * sin(a) + k * dot(k, c) * (1.0 - cs);
    gl_FragColor = vec4(clamp(turned, 0.0, 1.0), 1.0);
}
