// Writes the large G-code jobs the benchmarks draw: a dense vector job and a grey-scale photo
// engraving, of about a given size.
#pragma once

#include <string>

// A dense vector job: many small closed shapes, each with its own power, travel between
// them. false when the file cannot be written.
bool writeVectorJob(const std::string& path, long long bytes);

// A grey-scale photo engraving: one S value per pixel, equal neighbours merged, rows back
// and forth, G0 between. false when the file cannot be written.
bool writePhotoRaster(const std::string& path, long long bytes);
