/*{
    "DESCRIPTION": "Two passes: a blur into a half-size buffer, then shown at full size",
    "INPUTS": [{"NAME": "inputImage", "TYPE": "image"}],
    "PASSES": [
        {"TARGET": "halfsize", "WIDTH": "floor($WIDTH / 2.0)", "HEIGHT": "$HEIGHT/2"},
        {}
    ]
}*/
void main() {
    if (PASSINDEX == 0) {
        vec2 step = 1.0 / IMG_SIZE(inputImage);
        vec4 sum = vec4(0.0);
        for (int k = -2; k <= 2; ++k)
            sum += IMG_NORM_PIXEL(inputImage, isf_FragNormCoord + vec2(float(k), 0.0) * step);
        gl_FragColor = sum / 5.0;
    } else {
        // red: the blurred picture; green: how the buffer's width compares with the render width.
        gl_FragColor = vec4(IMG_THIS_NORM_PIXEL(halfsize).r, IMG_SIZE(halfsize).x / RENDERSIZE.x, 0.0, 1.0);
    }
}
