#pragma once

#include <cstdint>

class CMediaCache;
class MQcRenderer_;
namespace plat {
class Image;
}

// Moves a media unit's medium from its cache entry into the unit's file composition: reads the
// transport ports when the renderer reports changed inputs, drives the entry's image or movie
// source, and writes the newest picture and the monitors into the hidden ports. With setup, only
// the kind and duration ports are written. width and height are the size the unit renders at.
// Non-zero when the picture changed; 0 for a unit the cache does not know.
// Render thread (or the main thread under the frame lock); takes the cache lock.
int32_t DriveMediaIn(CMediaCache* cache, uint32_t id, MQcRenderer_* renderer, bool force, bool setup,
                     uint32_t width, uint32_t height);

// The picture of the file composition (null: its default image); marks the renderer for a render.
void PushImage(MQcRenderer_* renderer, const plat::Image* image);
