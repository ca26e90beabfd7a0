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
        .section .rdata,"dr"
        .balign 16
quoril_xmm_values:
        .quad   0x5EB1C0DE00000600, 0xA5A5F00D00000600
        .quad   0x5EB1C0DE00000601, 0xA5A5F00D00000601
        .quad   0x5EB1C0DE00000602, 0xA5A5F00D00000602
        .quad   0x5EB1C0DE00000603, 0xA5A5F00D00000603
        .quad   0x5EB1C0DE00000604, 0xA5A5F00D00000604
        .quad   0x5EB1C0DE00000605, 0xA5A5F00D00000605
        .quad   0x5EB1C0DE00000606, 0xA5A5F00D00000606
        .quad   0x5EB1C0DE00000607, 0xA5A5F00D00000607
        .quad   0x5EB1C0DE00000608, 0xA5A5F00D00000608
        .quad   0x5EB1C0DE00000609, 0xA5A5F00D00000609

        .text
        .globl  quoril_checked_call
        .def    quoril_checked_call; .scl 2; .type 32; .endef
        .seh_proc quoril_checked_call
quoril_checked_call:
        pushq   %rbx
        .seh_pushreg %rbx
        pushq   %rbp
        .seh_pushreg %rbp
        pushq   %rdi
        .seh_pushreg %rdi
        pushq   %rsi
        .seh_pushreg %rsi
        pushq   %r12
        .seh_pushreg %r12
        pushq   %r13
        .seh_pushreg %r13
        pushq   %r14
        .seh_pushreg %r14
        pushq   %r15
        .seh_pushreg %r15
        subq    $216, %rsp
        .seh_stackalloc 216
        movaps  %xmm6, 32(%rsp)
        .seh_savexmm %xmm6, 32
        movaps  %xmm7, 48(%rsp)
        .seh_savexmm %xmm7, 48
        movaps  %xmm8, 64(%rsp)
        .seh_savexmm %xmm8, 64
        movaps  %xmm9, 80(%rsp)
        .seh_savexmm %xmm9, 80
        movaps  %xmm10, 96(%rsp)
        .seh_savexmm %xmm10, 96
        movaps  %xmm11, 112(%rsp)
        .seh_savexmm %xmm11, 112
        movaps  %xmm12, 128(%rsp)
        .seh_savexmm %xmm12, 128
        movaps  %xmm13, 144(%rsp)
        .seh_savexmm %xmm13, 144
        movaps  %xmm14, 160(%rsp)
        .seh_savexmm %xmm14, 160
        movaps  %xmm15, 176(%rsp)
        .seh_savexmm %xmm15, 176
        .seh_endprologue
        movq    %rcx, %rax              /* the callee */
        movq    %rdx, %rcx              /* its arguments */
        movq    %r8, %rdx
        movq    %r9, %r8
        movabsq $0x5EB15EB100000000, %rbx
        movabsq $0x5EB15EB100000001, %rbp
        movabsq $0x5EB15EB100000002, %rdi
        movabsq $0x5EB15EB100000003, %rsi
        movabsq $0x5EB15EB100000004, %r12
        movabsq $0x5EB15EB100000005, %r13
        movabsq $0x5EB15EB100000006, %r14
        movabsq $0x5EB15EB100000007, %r15
        leaq    quoril_xmm_values(%rip), %r11
        movdqa  0(%r11), %xmm6
        movdqa  16(%r11), %xmm7
        movdqa  32(%r11), %xmm8
        movdqa  48(%r11), %xmm9
        movdqa  64(%r11), %xmm10
        movdqa  80(%r11), %xmm11
        movdqa  96(%r11), %xmm12
        movdqa  112(%r11), %xmm13
        movdqa  128(%r11), %xmm14
        movdqa  144(%r11), %xmm15
        movq    %rsp, 192(%rsp)
        call    *%rax
        movl    %eax, 200(%rsp)
        xorl    %eax, %eax
        movabsq $0x5EB15EB100000000, %rcx
        cmpq    %rcx, %rbx
        je      1f
        orl     $0x1, %eax
1:
        movabsq $0x5EB15EB100000001, %rcx
        cmpq    %rcx, %rbp
        je      1f
        orl     $0x2, %eax
1:
        movabsq $0x5EB15EB100000002, %rcx
        cmpq    %rcx, %rdi
        je      1f
        orl     $0x4, %eax
1:
        movabsq $0x5EB15EB100000003, %rcx
        cmpq    %rcx, %rsi
        je      1f
        orl     $0x8, %eax
1:
        movabsq $0x5EB15EB100000004, %rcx
        cmpq    %rcx, %r12
        je      1f
        orl     $0x10, %eax
1:
        movabsq $0x5EB15EB100000005, %rcx
        cmpq    %rcx, %r13
        je      1f
        orl     $0x20, %eax
1:
        movabsq $0x5EB15EB100000006, %rcx
        cmpq    %rcx, %r14
        je      1f
        orl     $0x40, %eax
1:
        movabsq $0x5EB15EB100000007, %rcx
        cmpq    %rcx, %r15
        je      1f
        orl     $0x80, %eax
1:
        leaq    quoril_xmm_values(%rip), %r11
        pcmpeqb 0(%r11), %xmm6
        pmovmskb %xmm6, %ecx
        cmpl    $0xFFFF, %ecx
        je      1f
        orl     $0x100, %eax
1:
        pcmpeqb 16(%r11), %xmm7
        pmovmskb %xmm7, %ecx
        cmpl    $0xFFFF, %ecx
        je      1f
        orl     $0x200, %eax
1:
        pcmpeqb 32(%r11), %xmm8
        pmovmskb %xmm8, %ecx
        cmpl    $0xFFFF, %ecx
        je      1f
        orl     $0x400, %eax
1:
        pcmpeqb 48(%r11), %xmm9
        pmovmskb %xmm9, %ecx
        cmpl    $0xFFFF, %ecx
        je      1f
        orl     $0x800, %eax
1:
        pcmpeqb 64(%r11), %xmm10
        pmovmskb %xmm10, %ecx
        cmpl    $0xFFFF, %ecx
        je      1f
        orl     $0x1000, %eax
1:
        pcmpeqb 80(%r11), %xmm11
        pmovmskb %xmm11, %ecx
        cmpl    $0xFFFF, %ecx
        je      1f
        orl     $0x2000, %eax
1:
        pcmpeqb 96(%r11), %xmm12
        pmovmskb %xmm12, %ecx
        cmpl    $0xFFFF, %ecx
        je      1f
        orl     $0x4000, %eax
1:
        pcmpeqb 112(%r11), %xmm13
        pmovmskb %xmm13, %ecx
        cmpl    $0xFFFF, %ecx
        je      1f
        orl     $0x8000, %eax
1:
        pcmpeqb 128(%r11), %xmm14
        pmovmskb %xmm14, %ecx
        cmpl    $0xFFFF, %ecx
        je      1f
        orl     $0x10000, %eax
1:
        pcmpeqb 144(%r11), %xmm15
        pmovmskb %xmm15, %ecx
        cmpl    $0xFFFF, %ecx
        je      1f
        orl     $0x20000, %eax
1:
        xorl    %edx, %edx
        cmpq    %rsp, 192(%rsp)
        setne   %dl
        movq    320(%rsp), %r9          /* 216 + 8 pushes + return address + 4 home slots */
        movl    %edx, 0(%r9)
        movl    %eax, 4(%r9)
        movl    200(%rsp), %eax
        movaps  32(%rsp), %xmm6
        movaps  48(%rsp), %xmm7
        movaps  64(%rsp), %xmm8
        movaps  80(%rsp), %xmm9
        movaps  96(%rsp), %xmm10
        movaps  112(%rsp), %xmm11
        movaps  128(%rsp), %xmm12
        movaps  144(%rsp), %xmm13
        movaps  160(%rsp), %xmm14
        movaps  176(%rsp), %xmm15
        addq    $216, %rsp
        popq    %r15
        popq    %r14
        popq    %r13
        popq    %r12
        popq    %rsi
        popq    %rdi
        popq    %rbp
        popq    %rbx
        ret
        .seh_endproc
