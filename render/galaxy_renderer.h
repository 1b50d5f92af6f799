#pragma once

class CGalaxy;
class Raster;

// Paints one frame of the galaxy window into raster, at the raster's size:
// the background (unless the galaxy's trace keeps the previous frame), the
// stars back to front as squares or balls, and, if showBox, the edges of the
// reference cube whose both corners are in front of the eye. Projects the
// stars first, so the galaxy's renderer slots describe this frame afterwards.
void renderGalaxy(CGalaxy& galaxy, Raster& raster, bool showBox);

// A shaded ball of about 8 pixels across centred on (x, y): a dark rim, the
// colour itself and a white highlight at the upper left. The colour is on the
// 0-255 scale per channel.
void drawBall(Raster& raster, int x, int y, double red, double green, double blue);
