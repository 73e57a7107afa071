/*{
    "DESCRIPTION": "A generator showing the clock and the render size",
    "INPUTS": []
}*/
void main() {
    vec4 date = DATE;
    float plausible = date.x > 2000.0 && date.y >= 1.0 && date.z >= 1.0 ? 1.0 : 0.0;
    gl_FragColor = vec4(TIME / 4.0, TIMEDELTA * 10.0, RENDERSIZE.x / 1024.0 * plausible, 1.0);
    if (isf_FragNormCoord.x > 0.5) gl_FragColor = vec4(float(FRAMEINDEX) / 100.0, float(PASSINDEX), vv_FragNormCoord.y, 1.0);
}
