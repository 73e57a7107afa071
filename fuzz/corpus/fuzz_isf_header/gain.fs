/*{
    "DESCRIPTION": "Multiplies the picture by a gain of 0 to 2",
    "CATEGORIES": ["Lumatex tests"],
    "INPUTS": [
        {"NAME": "inputImage", "TYPE": "image"},
        {"NAME": "gain", "TYPE": "float", "MIN": 0.0, "MAX": 2.0, "DEFAULT": 0.5, "LABEL": "Gain"}
    ]
}*/
void main() {
    gl_FragColor = vec4(IMG_THIS_PIXEL(inputImage).rgb * gain, 1.0);
}
