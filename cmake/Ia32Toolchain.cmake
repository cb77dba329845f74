# 32-bit x86, freestanding: the execute-in-place images. Uses the host's gcc/g++ with multilib.
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_ASM_COMPILER gcc)

# Nothing is linked against a C library, so the compiler checks stop at a static library.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

# -mgeneral-regs-only: no x87/SSE state is touched behind the code's back (MM0 is reached only through
# the seam's own instructions). -fno-zero-initialized-in-bss: an image has no loader to clear .bss.
# -fno-tree-loop-distribute-patterns: copy and fill loops stay loops instead of becoming memcpy/memset
# calls. -fstack-usage, -fcallgraph-info=su: a .su and a .ci file per object (per link-time partition
# with ZARN_IA32_LTO) for the stack figures; neither changes the code.
set(ZARN_IA32_FLAGS "-m32 -march=i686 -mgeneral-regs-only -ffreestanding -fno-pic -fno-pie -fno-stack-protector \
-fno-asynchronous-unwind-tables -fno-unwind-tables -ffunction-sections -fdata-sections -fno-common \
-fno-zero-initialized-in-bss -fno-tree-loop-distribute-patterns -fstack-usage -fcallgraph-info=su -Os")
set(CMAKE_C_FLAGS_INIT "${ZARN_IA32_FLAGS}")
set(CMAKE_CXX_FLAGS_INIT "${ZARN_IA32_FLAGS} -fno-exceptions -fno-rtti -fno-threadsafe-statics")
set(CMAKE_ASM_FLAGS_INIT "-m32")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32 -nostdlib -static -no-pie")

# ZARN_IA32_LTO (default ON): link-time optimisation of every firmware target. The build-time constants
# are then visible where they are used, so code they switch off (the serial console's bridge walk and
# MMIO access in both deliverables) is dropped. -DZARN_IA32_LTO=OFF links each object as compiled.
if(NOT DEFINED ZARN_IA32_LTO)
  set(ZARN_IA32_LTO ON CACHE BOOL "Link-time optimisation of the IA32 images")
endif()
if(ZARN_IA32_LTO AND NOT CMAKE_IN_TRY_COMPILE)
  set(CMAKE_INTERPROCEDURAL_OPTIMIZATION ON)
endif()

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
