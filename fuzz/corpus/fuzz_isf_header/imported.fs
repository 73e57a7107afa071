/*{
    "INPUTS": [],
    "IMPORTED": {"halves": {"PATH": "halves.bmp"}}
}*/
void main() {
    gl_FragColor = IMG_NORM_PIXEL(halves, isf_FragNormCoord);
}
