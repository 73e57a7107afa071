#version 110
uniform sampler2D Texture0;
uniform float time;
uniform vec4 mouse;      // pointer over the view: xy 0..1 from the bottom left, z left button, w right
uniform vec2 resolution;
uniform vec3 ripple;     // x: strength, y: ring density, z: speed
varying vec2 TexCoord;

void main()
{
    // Rings spread from the pointer, stronger while the left button is down.
    vec2 aspect = vec2(resolution.x / max(resolution.y, 1.0), 1.0);
    vec2 d = (TexCoord - mouse.xy) * aspect;
    float r = length(d);
    float wave = sin(r * (20.0 + ripple.y * 80.0) - time * (2.0 + ripple.z * 10.0));
    float strength = ripple.x * 0.05 * (1.0 + mouse.z * 2.0) / (1.0 + r * 8.0);
    vec2 dir = r > 0.0 ? d / r : vec2(0.0);
    vec2 uv = TexCoord + dir / aspect * wave * strength;
    gl_FragColor = vec4(texture2D(Texture0, clamp(uv, 0.0, 1.0)).rgb, 1.0);
}
