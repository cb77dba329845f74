# Where each IA32 image sits in the boot flash (the 16 MiB window that ends at 4 GiB), and how much room
# it has. The images execute in place at these addresses; 0xFF000000-0xFFDFFFFF stays free for the
# embedded firmware table, the directories and other platform blobs, 0xFFE80000 upward for the boot
# stub, the foundation and the reset vector.
#
#   Image      Base         Size       End
#   Dramatlas  0xFFE00000   256 KiB    0xFFE3FFFF
#   Quilkeep   0xFFE40000   256 KiB    0xFFE7FFFF
set(ZARN_IA32_IMAGE_BASE_Dramatlas 0xFFE00000)
set(ZARN_IA32_IMAGE_SIZE_Dramatlas 0x40000)
set(ZARN_IA32_IMAGE_BASE_Quilkeep 0xFFE40000)
set(ZARN_IA32_IMAGE_SIZE_Quilkeep 0x40000)
