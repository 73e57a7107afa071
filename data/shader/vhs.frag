#version 110
uniform sampler2D Texture0;
uniform float time;
uniform vec2 resolution;
uniform vec3 tape;      // x: line wobble, y: colour bleed, z: noise
uniform float tracking; // strength of the band that rolls through the picture
varying vec2 TexCoord;

float Hash(vec2 p)
{
    return fract(sin(dot(p, vec2(12.9898, 78.233))) * 43758.5453);
}

void main()
{
    float line = floor(TexCoord.y * resolution.y * 0.5);
    // Lines shift sideways a little, more inside the band that rolls down the picture.
    float band = smoothstep(0.9, 1.0, 1.0 - abs(fract(TexCoord.y + time * 0.15) - 0.5) * 2.0);
    float shift = (Hash(vec2(line, floor(time * 30.0))) - 0.5) * tape.x * 0.01 + band * tracking * 0.03;
    vec2 uv = vec2(TexCoord.x + shift, TexCoord.y);
    float bleed = tape.y * 6.0 / max(resolution.x, 1.0);
    vec3 c;
    c.r = texture2D(Texture0, clamp(uv + vec2(bleed, 0.0), 0.0, 1.0)).r;
    c.g = texture2D(Texture0, clamp(uv, 0.0, 1.0)).g;
    c.b = texture2D(Texture0, clamp(uv - vec2(bleed, 0.0), 0.0, 1.0)).b;
    float noise = Hash(TexCoord * resolution + vec2(time * 61.0, time * 17.0)) - 0.5;
    c += noise * tape.z * 0.3 + band * tracking * 0.15;
    gl_FragColor = vec4(clamp(c, 0.0, 1.0), 1.0);
}
