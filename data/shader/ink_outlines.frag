#version 110
uniform sampler2D Texture0;
uniform float texWidth;
uniform float texHeight;
uniform float strength; // x 8 = gain of the edge response
uniform vec4 ink;       // colour of the outlines, alpha = opacity
varying vec2 TexCoord;

float Luma(vec2 uv)
{
    return dot(texture2D(Texture0, uv).rgb, vec3(0.299, 0.587, 0.114));
}

void main()
{
    vec2 t = vec2(1.0 / texWidth, 1.0 / texHeight);
    float tl = Luma(TexCoord + vec2(-t.x, -t.y));
    float tc = Luma(TexCoord + vec2(0.0, -t.y));
    float tr = Luma(TexCoord + vec2(t.x, -t.y));
    float ml = Luma(TexCoord + vec2(-t.x, 0.0));
    float mr = Luma(TexCoord + vec2(t.x, 0.0));
    float bl = Luma(TexCoord + vec2(-t.x, t.y));
    float bc = Luma(TexCoord + vec2(0.0, t.y));
    float br = Luma(TexCoord + vec2(t.x, t.y));
    float gx = (tr + 2.0 * mr + br) - (tl + 2.0 * ml + bl);
    float gy = (bl + 2.0 * bc + br) - (tl + 2.0 * tc + tr);
    // The soft knee keeps gentle gradients free of ink and draws real edges as solid lines.
    float edge = smoothstep(0.2, 0.6, sqrt(gx * gx + gy * gy) * strength * 8.0);
    vec3 c = texture2D(Texture0, TexCoord).rgb;
    gl_FragColor = vec4(mix(c, ink.rgb, edge * clamp(ink.a, 0.0, 1.0)), 1.0);
}
