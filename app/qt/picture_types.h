#pragma once

// Learns the depth JPEG pictures decode at from the screen. Once, at start-up, before any
// picture is loaded; needs the application object.
void ComputeJpegDepthFromScreen();
