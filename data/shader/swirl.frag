#version 110
uniform sampler2D Texture0;
uniform float twist; // x 720 = turn at the centre in degrees
uniform vec3 area;   // centre x, centre y, radius (fractions of the picture)
varying vec2 TexCoord;

void main()
{
    vec2 d = TexCoord - area.xy;
    float t = clamp(1.0 - length(d) / max(area.z, 0.001), 0.0, 1.0);
    // Quadratic fall-off: the swirl fades out smoothly towards its rim.
    float a = radians(twist * 720.0) * t * t;
    float s = sin(a);
    float c = cos(a);
    vec2 uv = area.xy + vec2(d.x * c - d.y * s, d.x * s + d.y * c);
    gl_FragColor = vec4(texture2D(Texture0, uv).rgb, 1.0);
}
