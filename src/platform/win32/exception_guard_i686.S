/* SPDX-License-Identifier: MIT */
/*
 * int quoril_seh_run(void (*work)(void*), void* context)   -- cdecl, 32-bit x86 Windows.
 *
 * GCC offers no __try, so the frame is built by hand: a registration record on the stack,
 * linked at the head of the thread's exception chain (fs:0) while `work` runs. Beside the two
 * words the system reads (next record, handler) it carries the frame pointer and the address to
 * resume at, so that quoril_seh_handler can send execution back here with eax = 1. Both paths
 * meet at the resume label with esp at the record, unlink it and restore the callee-saved
 * registers from this frame, whatever state `work` left them in.
 */
        .text
        .globl  _quoril_seh_run
        .def    _quoril_seh_run; .scl 2; .type 32; .endef
_quoril_seh_run:
        pushl   %ebp
        movl    %esp, %ebp
        pushl   %ebx
        pushl   %esi
        pushl   %edi
        pushl   $quoril_seh_resume      /* record + 12: where to resume */
        pushl   %ebp                    /* record + 8: frame pointer at the resume point */
        pushl   $_quoril_seh_handler    /* record + 4: handler */
        pushl   %fs:0                   /* record + 0: next record */
        movl    %esp, %fs:0
        pushl   12(%ebp)                /* context */
        call    *8(%ebp)                /* work */
        addl    $4, %esp
        xorl    %eax, %eax
quoril_seh_resume:
        popl    %fs:0
        addl    $12, %esp
        popl    %edi
        popl    %esi
        popl    %ebx
        popl    %ebp
        ret
