/* SPDX-License-Identifier: MIT */
/*
 * int quoril_aligned_call(void* function, uint32_t arg0, uint32_t arg1, uint32_t arg2,
 *                         uint32_t misalignment, struct CallCheck* check)   -- cdecl
 *
 * Calls function(arg0, arg1, arg2) with esp at `misalignment` mod 16 at the call instruction,
 * the way hosts built by other compilers may call, and records whether the callee left esp where
 * a cdecl callee must (the caller removes the arguments) and kept ebx, esi, edi and ebp. A callee
 * of fewer arguments ignores the ones it does not take.
 * check: +0 esp error in bytes, +4 nonzero when a callee-saved register changed.
 */
        .text
        .globl  _quoril_aligned_call
        .def    _quoril_aligned_call; .scl 2; .type 32; .endef
_quoril_aligned_call:
        pushl   %ebp
        movl    %esp, %ebp
        pushl   %ebx
        pushl   %esi
        pushl   %edi
        andl    $-16, %esp
        subl    $20, %esp
        addl    24(%ebp), %esp          /* after three pushes esp = misalignment mod 16 */
        movl    %esp, %esi              /* esp before the arguments */
        movl    $0x5EB15EB1, %ebx
        movl    $0x5ED15ED1, %edi
        pushl   20(%ebp)
        pushl   16(%ebp)
        pushl   12(%ebp)
        call    *8(%ebp)
        addl    $12, %esp
        movl    28(%ebp), %ecx
        movl    %esp, %edx
        subl    %esi, %edx
        movl    %edx, 0(%ecx)
        xorl    %edx, %edx
        cmpl    $0x5EB15EB1, %ebx
        setne   %dl
        cmpl    $0x5ED15ED1, %edi
        jne     1f
        cmpl    %esp, %esi
        jne     1f
        jmp     2f
1:      movl    $1, %edx
2:      movl    %edx, 4(%ecx)
        leal    -12(%ebp), %esp
        popl    %edi
        popl    %esi
        popl    %ebx
        popl    %ebp
        ret
