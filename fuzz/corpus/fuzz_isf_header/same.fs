/*{
    "INPUTS": [{"NAME": "inputImage", "TYPE": "image"}]
}*/
// The picture unchanged, sampled by normalized coordinate: it must come out the same way up.
void main() {
    gl_FragColor = IMG_NORM_PIXEL(inputImage, isf_FragNormCoord);
}
