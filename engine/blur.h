// How the blur overlay softens its capture: several offset copies blended one over another.
#pragma once

const int blurPassCount = 2;

// Alpha of pass k (0-based) of passes drawn over the scene so that every pass ends with an
// equal share of overall opacity alpha and the scene below keeps 1 - alpha.
float blurPassAlpha(int pass, int passes, float alpha);
