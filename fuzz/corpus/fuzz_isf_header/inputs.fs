/*{
    "NAME": "Every input",
    "CATEGORIES": ["Lumatex tests", "Other"],
    "INPUTS": [
        {"NAME": "paint", "TYPE": "color", "DEFAULT": [0.2, 0.4, 0.6, 1.0]},
        {"NAME": "flag", "TYPE": "bool", "DEFAULT": true},
        {"NAME": "mode", "TYPE": "long", "VALUES": [10, 20, 30], "LABELS": ["Ten", "Twenty", "Thirty"], "DEFAULT": 20},
        {"NAME": "spot", "TYPE": "point2D", "MIN": [0.0, 0.0], "MAX": [4.0, 4.0], "DEFAULT": [1.0, 3.0]},
        {"NAME": "kick", "TYPE": "event"}
    ]
}*/
// red: the colour's red; green: the long's value / 100; blue: the bool; alpha unused.
// A point inside the picture's lower left (spot / 4) turns the corner white.
void main() {
    vec2 at = isf_FragNormCoord * 4.0;
    if (at.x < 0.25 && at.y < 0.25 && spot.x == 1.0 && spot.y == 3.0) {
        gl_FragColor = vec4(1.0);
        return;
    }
    gl_FragColor = vec4(paint.r, float(mode) / 100.0, flag ? 1.0 : 0.0, 1.0);
    if (kick) gl_FragColor = vec4(0.0);
}
