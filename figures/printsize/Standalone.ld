/* A formatter linked alone for its size: code, read-only data and data, nothing else kept. */
OUTPUT_FORMAT("elf32-i386")
OUTPUT_ARCH(i386)
ENTRY(FigureEntry)

SECTIONS
{
  . = 0x100000;
  .text : { KEEP(*(.text.FigureEntry)) *(.text .text.*) }
  .rodata : ALIGN(4) { *(.rodata .rodata.*) }
  .data : ALIGN(4) { *(.data .data.*) }
  .bss : ALIGN(4) { *(.bss .bss.*) }
  /DISCARD/ : { *(.comment) *(.note .note.*) *(.eh_frame .eh_frame_hdr) }
}
