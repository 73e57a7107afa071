#version 110
uniform sampler2D Texture0;
uniform sampler2D PreviousFrame;
uniform vec2 zoom; // x: how much each echo shrinks, y: how strongly it shows
uniform float turn; // 0.5 = no turn
varying vec2 TexCoord;

void main()
{
    vec3 now = texture2D(Texture0, TexCoord).rgb;
    // The previous frame, a little smaller and turned: every echo sinks further into the picture.
    float scale = 1.0 + zoom.x * 0.1;
    float a = radians((turn - 0.5) * 10.0);
    vec2 d = (TexCoord - 0.5) * scale;
    vec2 uv = 0.5 + vec2(d.x * cos(a) - d.y * sin(a), d.x * sin(a) + d.y * cos(a));
    vec3 echo = texture2D(PreviousFrame, clamp(uv, 0.0, 1.0)).rgb * clamp(zoom.y, 0.0, 0.98);
    gl_FragColor = vec4(max(now, echo), 1.0);
}
