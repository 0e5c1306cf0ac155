// The clip generator's sources, built into this test program so that the
// decoded clip can be compared with the pictures it was made from.
#include "resources/tools/AviWriter.cpp"
#include "resources/tools/ClipArt.cpp"
#include "resources/tools/Rle8Encoder.cpp"
