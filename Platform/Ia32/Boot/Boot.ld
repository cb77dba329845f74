/* The emulator boot's foundation: code and constants executed in place at 0xFFE80000, and the last 4 KiB
   of flash with the 16-bit entry, the GDT, the blob cell at 0xFFFFFFE0 and the reset vector at
   0xFFFFFFF0. The foundation keeps its data in RAM at fixed addresses (BootProtocol.h), so every section
   here is read-only. */
OUTPUT_FORMAT("elf32-i386")
OUTPUT_ARCH(i386)
ENTRY(BootResetVector)
EXTERN(BootResetVector)

MEMORY
{
  FOUNDATION (rx) : ORIGIN = 0xFFE80000, LENGTH = 0x40000
  RESET (rx) : ORIGIN = 0xFFFFF000, LENGTH = 0x1000
}

PHDRS
{
  foundation PT_LOAD FLAGS(5);
  reset PT_LOAD FLAGS(5);
}

SECTIONS
{
  .text : {
    KEEP(*(.text.boot))
    *(.text .text.*)
  } > FOUNDATION :foundation

  .rodata : ALIGN(4) {
    *(.rodata .rodata.*)
  } > FOUNDATION :foundation

  .data : ALIGN(4) {
    *(.data .data.*)
  } > FOUNDATION :foundation

  .bss : ALIGN(4) {
    *(.bss .bss.*)
  } > FOUNDATION :foundation

  .init_array : { *(.init_array .init_array.* .ctors .ctors.* .fini_array .fini_array.* .dtors .dtors.*) } > FOUNDATION :foundation
  .got : { *(.got .got.* .igot.plt .igot.*) } > FOUNDATION :foundation
  .iplt : { *(.iplt) } > FOUNDATION :foundation
  .rel.dyn : { *(.rel.* .rela.*) } > FOUNDATION :foundation

  .reset : {
    KEEP(*(.reset16))
    . = 0xFE0;
    KEEP(*(.bootblobcell))
    . = 0xFF0;
    KEEP(*(.resetvector))
    . = 0x1000;
  } > RESET :reset =0xFF

  /DISCARD/ : {
    *(.comment) *(.note .note.*) *(.eh_frame .eh_frame_hdr)
  }
}

/* Real mode after reset runs with CS base 0xFFFF0000: the 16-bit entry addresses the GDT descriptor by
   its offset in that segment. */
BootGdtDescriptorOffset = BootGdtDescriptor - 0xFFFF0000;

ASSERT(BootBlobCell == 0xFFFFFFE0, "the blob cell must sit at 0xFFFFFFE0")
ASSERT(BootResetVector == 0xFFFFFFF0, "the reset vector must sit at 0xFFFFFFF0")
