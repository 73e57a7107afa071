#version 110
uniform sampler2D Texture0;
uniform float texWidth;
uniform float texHeight;
uniform float seed;   // x 1000 picks another grain pattern
uniform vec2 size;    // x 8 = grain width and height in texels
uniform vec3 amount;  // strength of the grain in red, green and blue
varying vec2 TexCoord;

// Arithmetic hash of a cell position: the same everywhere, no noise texture needed.
float Hash(vec2 p)
{
    vec3 p3 = fract(vec3(p.xyx) * 0.1031);
    p3 += dot(p3, p3.yzx + 33.33);
    return fract((p3.x + p3.y) * p3.z);
}

void main()
{
    vec3 c = texture2D(Texture0, TexCoord).rgb;
    vec2 grain = max(size * 8.0, vec2(1.0));
    vec2 cellIndex = floor(TexCoord * vec2(texWidth, texHeight) / grain);
    float n = Hash(cellIndex + seed * 1000.0) - 0.5;
    gl_FragColor = vec4(clamp(c + n * amount, 0.0, 1.0), 1.0);
}
