// The password sealer module (sealmodule.h) as data inside the filter.
asm(".section .rodata.zlk_sealer_module,\"a\",@progbits\n"
    ".balign 64\n"
    ".globl zlk_sealer_module_begin\n"
    ".hidden zlk_sealer_module_begin\n"
    "zlk_sealer_module_begin:\n"
    ".incbin \"" ZLK_SEALER_MODULE_FILE
    "\"\n"
    ".globl zlk_sealer_module_end\n"
    ".hidden zlk_sealer_module_end\n"
    "zlk_sealer_module_end:\n"
    ".previous\n");
