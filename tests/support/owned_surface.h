// A DsSurface made with new and its buffers from its allocator, owned by a
// test: released, then deleted.
#pragma once

#include "ds_surface.h"

#include <memory>

struct SurfaceRelease {
    void operator()(DsSurface* surface) const
    {
        surface->release();
        delete surface;
    }
};
using SurfacePtr = std::unique_ptr<DsSurface, SurfaceRelease>;
