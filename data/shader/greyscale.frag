#version 110
uniform sampler2D Texture0;
uniform vec3 weights; // share of red, green and blue in the grey value
uniform float amount; // 0 = original colours, 1 = fully grey
varying vec2 TexCoord;

void main()
{
    vec3 c = texture2D(Texture0, TexCoord).rgb;
    // Normalised weights keep a grey picture exactly as it is, whatever the bars say.
    vec3 w = max(weights, vec3(0.0));
    float total = w.r + w.g + w.b;
    w = total > 0.0 ? w / total : vec3(1.0 / 3.0);
    float grey = dot(c, w);
    gl_FragColor = vec4(mix(c, vec3(grey), clamp(amount, 0.0, 1.0)), 1.0);
}
