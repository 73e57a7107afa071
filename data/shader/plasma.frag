#version 110
uniform sampler2D Texture0;
uniform float time;
uniform vec2 resolution; // pixels of the target: the pattern keeps its shape at any size
uniform vec3 palette;    // phase of each channel's colour wave
uniform vec2 plasma;     // x: size of the blobs, y: speed
uniform float blend;     // how much of the input shows through; 0 = the generator alone
varying vec2 TexCoord;

void main()
{
    vec2 p = (TexCoord - 0.5) * vec2(resolution.x / max(resolution.y, 1.0), 1.0) * (2.0 + plasma.x * 20.0);
    float t = time * (0.2 + plasma.y * 4.0);
    float v = sin(p.x + t) + sin(p.y * 1.3 - t * 0.7) + sin((p.x + p.y) * 0.7 + t * 1.3) +
              sin(length(p + vec2(sin(t * 0.5), cos(t * 0.4))) * 1.5);
    vec3 colour = 0.5 + 0.5 * cos(6.2831853 * (v * 0.25 + palette));
    vec3 picture = texture2D(Texture0, TexCoord).rgb;
    gl_FragColor = vec4(mix(colour, picture, blend), 1.0);
}
