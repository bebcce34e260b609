// The art generator's pictures: the content library's pictures, colours and
// random numbers, its writers as this tool reports them, and the seeds and
// noise the level pictures grow from.
#pragma once
#include <cstdint>
#include <string>

#include "content/picture.h"
#include "content/rng.h"

// The library's writers with this tool's message on standard error: the
// colour picture, or with greyalpha the separate alpha picture. PNG: 8-bit
// RGBA (level pictures); BMP: 32 bits a pixel (sprite sheet, pickups).
bool writepng(const std::string& path, const Image& image, bool greyalpha);
bool writebmp(const std::string& path, const Image& image, bool greyalpha);

// Seed from a name: FNV-1a, so every level gets its own sky and hills.
uint64_t nameseed(const std::string& name);

// Smooth value noise in 0..1 from integer lattice hashes; period-free.
float valuenoise(float x, float y, uint32_t seed);
// Sum of octaves of valuenoise, 0..1.
float fractalnoise(float x, float y, uint32_t seed, int octaves);
