// Linear sRGB <-> CIE L*a*b* relative to the D50 white, one pixel at a
// time through the four-lane forms.
#include "imglib/convert/lab4.h"

void ILRgbToLab(float r, float g, float b, float* L, float* A, float* B) {
    ILFloat4 l, a, bb;
    ILRgbToLab4(ILSplat4(r), ILSplat4(g), ILSplat4(b), &l, &a, &bb);
    *L = l[0];
    *A = a[0];
    *B = bb[0];
}

void ILLabToRgb(float L, float A, float B, float* r, float* g, float* b) {
    ILFloat4 rr, gg, bb;
    ILLabToRgb4(ILSplat4(L), ILSplat4(A), ILSplat4(B), &rr, &gg, &bb);
    *r = rr[0];
    *g = gg[0];
    *b = bb[0];
}
