/* The emulator boot's entry code: the reset vector, the switch to flat 32-bit protected mode with a GDT in
   flash, the exception and breakpoint entries, and two call helpers (a call with a measured stack, a call
   on another stack). Nothing here writes to flash. */
#include "Platform/Ia32/Boot/BootLayout.h"

/* ---- 16-bit entry, in the last 4 KiB of flash (reached from the reset vector with CS base 0xFFFF0000) */
        .section .reset16, "ax"
        .code16
BootResetEntry16:
        cli
        cld
        /* Fast A20 gate on; bit 0 of port 0x92 would reset the machine and stays clear. */
        inb     $0x92, %al
        orb     $0x02, %al
        andb    $0xFE, %al
        outb    %al, $0x92
        lgdtl   %cs:BootGdtDescriptorOffset  /* its offset in the reset segment, from the link */
        movl    %cr0, %eax
        orl     $0x00000001, %eax       /* PE */
        andl    $0x9FFFFFFF, %eax       /* caches on: CD and NW clear */
        movl    %eax, %cr0
        ljmpl   $BOOT_CODE_SELECTOR, $BootProtectedEntry

/* The accessed bits are preset: the processor would otherwise try to set them in read-only flash. */
        .balign 8
BootGdt:
        .quad   0
        .quad   0x00CF9B000000FFFF      /* 0x08: code, base 0, limit 4 GiB, 32-bit */
        .quad   0x00CF93000000FFFF      /* 0x10: data, base 0, limit 4 GiB */
BootGdtEnd:
        .globl  BootGdtDescriptor
BootGdtDescriptor:
        .word   BootGdtEnd - BootGdt - 1
        .long   BootGdt

/* The flash address of the platform blob; the host tool writes it into the image. */
        .section .bootblobcell, "a"
        .globl  BootBlobCell
BootBlobCell:
        .long   0xFFFFFFFF
        .fill   12, 1, 0xFF

        .section .resetvector, "ax"
        .code16
        .globl  BootResetVector
BootResetVector:
        jmp     BootResetEntry16
        .fill   13, 1, 0xF4             /* hlt: never reached */

/* ---- 32-bit code, executed in place with the foundation */
        .section .text.boot, "ax"
        .code32
BootProtectedEntry:
        movw    $BOOT_DATA_SELECTOR, %ax
        movw    %ax, %ds
        movw    %ax, %es
        movw    %ax, %fs
        movw    %ax, %gs
        movw    %ax, %ss
        movl    $BOOT_STACK_TOP, %esp
        xorl    %ebp, %ebp
        call    BootMain
1:      hlt
        jmp     1b

/* INT3: count it in the first word of the foundation's data and resume after the instruction. */
        .globl  BootBreakpointEntry
BootBreakpointEntry:
        incl    BOOT_STATE_BASE
        iretl

/* Exceptions 0-31, one 16-byte entry each: push a zero error code where the processor pushes none, push
   the vector, and report. Anything else that arrives (interrupts are masked) reports as vector 0xFF. */
        .balign 16
        .globl  BootExceptionEntries
BootExceptionEntries:
        .irp    vector, 0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24,25,26,27,28,29,30,31
        .balign 16
        .if (\vector == 8) || (\vector == 10) || (\vector == 11) || (\vector == 12) || (\vector == 13) || (\vector == 14) || (\vector == 17) || (\vector == 21) || (\vector == 29) || (\vector == 30)
        .else
        pushl   $0
        .endif
        pushl   $\vector
        jmp     BootExceptionCommon
        .endr
        .balign 16
        .globl  BootUnexpectedEntry
BootUnexpectedEntry:
        pushl   $0
        pushl   $0xFF
        jmp     BootExceptionCommon

BootExceptionCommon:
        cld
        pushl   %esp                    /* the frame: vector, error code, EIP, CS, EFLAGS */
        call    BootException           /* does not return */
2:      hlt
        jmp     2b

/* UINT32 BootCallProbed(UINT32 Function, const UINT32 *Arguments, UINT32 Count, UINT32 *PeakBytes)
   Fills the stack from BOOT_STACK_BOTTOM up to the current stack pointer with BOOT_STACK_PATTERN, calls
   Function with the Count 32-bit arguments, and stores in *PeakBytes how far below that stack pointer the
   call reached (its arguments and return address included). Returns Function's EAX. */
        .globl  BootCallProbed
BootCallProbed:
        pushl   %ebp
        movl    %esp, %ebp
        pushl   %ebx
        pushl   %esi
        pushl   %edi
        movl    $BOOT_STACK_BOTTOM, %edi
        movl    %esp, %ecx
        subl    %edi, %ecx
        shrl    $2, %ecx
        movl    $BOOT_STACK_PATTERN, %eax
        cld
        rep stosl
        movl    %esp, %esi              /* reference point of the measurement */
        movl    16(%ebp), %ecx
        movl    12(%ebp), %edx
3:      testl   %ecx, %ecx
        jz      4f
        pushl   -4(%edx,%ecx,4)
        decl    %ecx
        jmp     3b
4:      call    *8(%ebp)
        movl    %esi, %esp
        movl    %eax, %ebx
        movl    $BOOT_STACK_BOTTOM, %edi
5:      cmpl    %esi, %edi
        jae     6f
        cmpl    $BOOT_STACK_PATTERN, (%edi)
        jne     6f
        addl    $4, %edi
        jmp     5b
6:      movl    %esi, %ecx
        subl    %edi, %ecx
        movl    20(%ebp), %edx
        movl    %ecx, (%edx)
        movl    %ebx, %eax
        popl    %edi
        popl    %esi
        popl    %ebx
        popl    %ebp
        ret

/* VOID BootCallOnStack(VOID (*Function)(VOID *), VOID *Context, UINT32 StackTop)
   Calls Function(Context) with the stack pointer at StackTop and returns on the caller's stack. */
        .globl  BootCallOnStack
BootCallOnStack:
        pushl   %ebp
        movl    %esp, %ebp
        movl    16(%ebp), %esp
        pushl   12(%ebp)
        call    *8(%ebp)
        movl    %ebp, %esp
        popl    %ebp
        ret

        .section .note.GNU-stack, "", @progbits
