#version 110
uniform sampler2D Texture0;
uniform float texWidth;
uniform float texHeight;
uniform float frame; // a new grain pattern and brightness every frame
uniform vec2 grain;  // x: grain strength, y: flicker strength
uniform float size;  // x 8 = grain size in texels
varying vec2 TexCoord;

float Hash(vec2 p)
{
    vec3 p3 = fract(vec3(p.xyx) * 0.1031);
    p3 += dot(p3, p3.yzx + 33.33);
    return fract((p3.x + p3.y) * p3.z);
}

void main()
{
    vec3 c = texture2D(Texture0, TexCoord).rgb;
    vec2 cell = floor(TexCoord * vec2(texWidth, texHeight) / max(size * 8.0, 1.0));
    float n = Hash(cell + vec2(frame * 17.0, frame * 5.0)) - 0.5;
    // The whole frame brightens and darkens a little, as a worn projector lamp does.
    float flicker = 1.0 + (Hash(vec2(frame, 3.7)) - 0.5) * grain.y;
    gl_FragColor = vec4(clamp(c * flicker + n * grain.x, 0.0, 1.0), 1.0);
}
