// A fixed match drawn the way the match screen draws it, for the golden images
// and the frame benchmark.
#pragma once

// Creates the device and every texture, the grass from a fixed seed.
void sampleStartUp();
// Places the players and the ball of the sample match (the drawing writes
// back into the match, so each frame starts from here).
void sampleMatchState();
// The match screen's panels, charge bar, clock and score.
void drawSampleHud();
// One whole match frame: clear, scene, HUD, with the camera at the depth given.
void drawSampleMatchFrame(float cameraDepth);
// A title-like screen of rectangles, text and tinted sprites.
void drawSampleTitleScreen();
