/*{
    "INPUTS": [{"NAME": "inputImage", "TYPE": "image"}],
    "PASSES": [{"TARGET": "sum", "PERSISTENT": true, "FLOAT": true}, {}]
}*/
// A quarter of the picture more in every frame.
void main() {
    if (PASSINDEX == 0)
        gl_FragColor = IMG_THIS_PIXEL(sum) + 0.25 * IMG_THIS_PIXEL(inputImage);
    else
        gl_FragColor = IMG_THIS_PIXEL(sum);
}
