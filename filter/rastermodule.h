// The page renderer of raster mode lives in a module of its own: poppler
// and the two dozen libraries it brings cost every job several
// milliseconds to load, and only raster jobs need them. The filter carries
// the module inside itself (rasterembed.cpp) and loads it from memory when
// a job first rasterises a page, so the module is always the one built
// with the filter. Its one entry, ZLKRasterRenderer, hands out the table
// below; nothing crosses it but plain values, and nothing throws across it.
#pragma once

extern "C" {

// One page to render: the bitmap's size, the resolution, the quarter turns
// to apply, and whether its rows may be cut into strips (rasterstrips.h).
struct ZLKRasterPage {
    int index;  // 0-based
    int width;
    int height;
    double dpi;
    int quarterTurns;
    int splitRows;
};

struct ZLKRasterRendererTable {
    // The document at path, or null when it does not open or is locked.
    void* (*openDocument)(const char* path);
    void (*closeDocument)(void* document);
    // Renders the page band by band, a few megabytes each whatever the page
    // size, and writes its strips to fd. 1 when the whole page was written.
    int (*renderPage)(void* document, const ZLKRasterPage* page, int fd);
};

typedef const ZLKRasterRendererTable* (*ZLKRasterRendererEntry)(void);

}  // extern "C"
