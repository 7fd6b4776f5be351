// The renderer module (rastermodule.h) as data inside the filter, so that
// a filter copied anywhere still renders with the module built with it.
asm(".section .rodata.zlk_raster_module,\"a\",@progbits\n"
    ".balign 64\n"
    ".globl zlk_raster_module_begin\n"
    ".hidden zlk_raster_module_begin\n"
    "zlk_raster_module_begin:\n"
    ".incbin \"" ZLK_RASTER_MODULE_FILE
    "\"\n"
    ".globl zlk_raster_module_end\n"
    ".hidden zlk_raster_module_end\n"
    "zlk_raster_module_end:\n"
    ".previous\n");
