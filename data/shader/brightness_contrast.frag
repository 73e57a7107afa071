#version 110
uniform sampler2D Texture0;
uniform vec3 bcs; // brightness, contrast, saturation; 0.5 each leaves the picture unchanged
varying vec2 TexCoord;

void main()
{
    vec3 c = texture2D(Texture0, TexCoord).rgb;
    vec3 f = bcs * 2.0;
    c += f.x - 1.0;
    c = (c - 0.5) * f.y + 0.5;
    float y = dot(c, vec3(0.299, 0.587, 0.114));
    c = mix(vec3(y), c, f.z);
    gl_FragColor = vec4(clamp(c, 0.0, 1.0), 1.0);
}
