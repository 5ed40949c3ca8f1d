// The checks that decide whether a decoded frame can be worked on: its depth,
// and whether its pixels fill its image exactly. The run applies them to the
// base and overlay frames, the console's file information to judge an input.
#pragma once

#include "media/AviRecords.h"

// 16, 24 or 32 bits per pixel: the depths the transforms, the overlays and
// the compressors take.
bool HasWorkableDepth(const BITMAPINFOHEADER& frame);

// Whether biSizeImage is exactly the size of the frame's pixels: whole bytes
// per pixel in rows without padding, or the three planes of an 'I420' frame
// of a positive size. Computed in 64 bits, so no header can make the product
// wrap around; frames below 8 bits per pixel fail.
bool FillsImageExactly(const BITMAPINFOHEADER& frame);
