/* SPDX-License-Identifier: MIT */
/*
 * int quoril_checked_call(void* function, uint64_t arg0, uint64_t arg1, uint64_t arg2,
 *                         struct CallCheck* check)   -- x86-64 Windows calling convention
 *
 * Calls function(arg0, arg1, arg2) as any x86-64 host may, with every register the convention says a
 * callee must keep (rbx, rbp, rdi, rsi, r12-r15, xmm6-xmm15) holding a value of its own, and
 * records what the callee did not keep. The callee's answer is returned.
 * check: +0 nonzero when rsp was not back where it was, +4 one bit per changed register, in the
 * order above (bit 0 rbx ... bit 7 r15, bit 8 xmm6 ... bit 17 xmm15).
 *
 * Frame below the saved registers: 0-31 the callee's home slots, 32-191 the caller's xmm6-xmm15,
 * 192 rsp at the call, 200 the callee's answer.
 */
#define QUORIL_KEPT_GENERAL rbx, rbp, rdi, rsi, r12, r13, r14, r15
#define QUORIL_KEPT_XMM 6, 7, 8, 9, 10, 11, 12, 13, 14, 15

        /* The general register of bit n holds 0x5EB15EB1000000nn. */
        .set    quoril_general_value, 0x5EB15EB100000000

        .section .rdata,"dr"
        .balign 16
quoril_xmm_values:                      /* xmm6 ... xmm15, 16 bytes each */
        .irp    n, QUORIL_KEPT_XMM
        .quad   0x5EB1C0DE000005FA + \n, 0xA5A5F00D000005FA + \n
        .endr

        .text
        .globl  quoril_checked_call
        .def    quoril_checked_call; .scl 2; .type 32; .endef
        .seh_proc quoril_checked_call
quoril_checked_call:
        .irp    reg, QUORIL_KEPT_GENERAL
        pushq   %\reg
        .seh_pushreg %\reg
        .endr
        subq    $216, %rsp
        .seh_stackalloc 216
        .irp    n, QUORIL_KEPT_XMM
        .set    quoril_slot, 32 + 16 * (\n - 6)
        movaps  %xmm\n, quoril_slot(%rsp)
        .seh_savexmm %xmm\n, quoril_slot
        .endr
        .seh_endprologue
        movq    %rcx, %rax              /* the callee */
        movq    %rdx, %rcx              /* its arguments */
        movq    %r8, %rdx
        movq    %r9, %r8
        .set    quoril_bit, 0
        .irp    reg, QUORIL_KEPT_GENERAL
        movabsq $quoril_general_value + quoril_bit, %\reg
        .set    quoril_bit, quoril_bit + 1
        .endr
        leaq    quoril_xmm_values(%rip), %r11
        .irp    n, QUORIL_KEPT_XMM
        .set    quoril_slot, 16 * (\n - 6)
        movdqa  quoril_slot(%r11), %xmm\n
        .endr
        movq    %rsp, 192(%rsp)
        call    *%rax
        movl    %eax, 200(%rsp)
        xorl    %eax, %eax
        .set    quoril_bit, 0
        .irp    reg, QUORIL_KEPT_GENERAL
        movabsq $quoril_general_value + quoril_bit, %rcx
        cmpq    %rcx, %\reg
        je      1f
        orl     $(1 << quoril_bit), %eax
1:
        .set    quoril_bit, quoril_bit + 1
        .endr
        leaq    quoril_xmm_values(%rip), %r11
        .irp    n, QUORIL_KEPT_XMM
        .set    quoril_slot, 16 * (\n - 6)
        pcmpeqb quoril_slot(%r11), %xmm\n
        pmovmskb %xmm\n, %ecx
        cmpl    $0xFFFF, %ecx
        je      1f
        orl     $(1 << (\n + 2)), %eax
1:
        .endr
        xorl    %edx, %edx
        cmpq    %rsp, 192(%rsp)
        setne   %dl
        movq    320(%rsp), %r9          /* 216 + 8 pushes + return address + 4 home slots */
        movl    %edx, 0(%r9)
        movl    %eax, 4(%r9)
        movl    200(%rsp), %eax
        .irp    n, QUORIL_KEPT_XMM
        .set    quoril_slot, 32 + 16 * (\n - 6)
        movaps  quoril_slot(%rsp), %xmm\n
        .endr
        addq    $216, %rsp
        .irp    reg, r15, r14, r13, r12, rsi, rdi, rbp, rbx
        popq    %\reg
        .endr
        ret
        .seh_endproc
