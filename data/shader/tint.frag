#version 110
uniform sampler2D Texture0;
uniform vec4 colour; // tint colour, alpha = strength
varying vec2 TexCoord;

void main()
{
    vec3 c = texture2D(Texture0, TexCoord).rgb;
    float y = dot(c, vec3(0.299, 0.587, 0.114));
    // Overlay of the grey picture with the tint: black and white stay, mid tones take the colour.
    vec3 tinted = y < 0.5 ? 2.0 * y * colour.rgb
                          : vec3(1.0) - 2.0 * (1.0 - y) * (vec3(1.0) - colour.rgb);
    gl_FragColor = vec4(mix(c, clamp(tinted, 0.0, 1.0), clamp(colour.a, 0.0, 1.0)), 1.0);
}
