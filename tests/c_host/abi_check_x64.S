/*
 * A checked view of a client for x64 hosts written in C. nubix_checked_vtbl has the
 * fourteen slots of IVSClientVtbl; each forwards its call to the same slot of
 * nubix_real_client with callee-saved registers loaded with known values, and after
 * the call records in nubix_clobbered every register the slot did not preserve:
 *   bit 0 RSP, bits 1-8 RBX RBP RDI RSI R12 R13 R14 R15, bits 9-18 XMM6-XMM15.
 * The caller's own registers are restored afterwards, so a faulty slot is reported,
 * not crashed on. Not re-entrant: one checked call at a time, on one thread.
 *
 * The forwarding pops the caller's return address and calls from the very same
 * stack pointer, so the slot sees its home space and stack arguments exactly where
 * the host put them.
 */
        .text

        .globl  nubix_real_client
        .globl  nubix_clobbered
        .globl  nubix_checked_vtbl
        .globl  nubix_clobbering_slot

        .data
        .p2align 4
nubix_real_client:      .quad 0
nubix_clobbered:        .long 0
        .p2align 4
saved:                  .fill 8 * 12, 1, 0    /* return address, RSP, 8 GPRs, spare */
saved_xmm:              .fill 16 * 10, 1, 0
        .p2align 4
canary_xmm:
        .irp n, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15
        .quad 0x5A5A5A5A00000000 + \n, 0xA5A5A5A5A5A5A500 + \n
        .endr

        .section .rdata, "dr"
        .p2align 3
nubix_checked_vtbl:
        .irp slot, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13
        .quad   checked_slot_\slot
        .endr

        .text
        .irp slot, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13
checked_slot_\slot:
        movl    $\slot, %eax
        jmp     checked_common
        .endr

#define CANARY(r) $0x0123456789AB0000 + r

.macro CHECK_GPR reg, bit
        movabsq CANARY(\bit), %r11
        cmpq    %r11, %\reg
        je      3f
        orl     $(1 << \bit), %ecx
3:
.endm

checked_common:
        popq    %r11
        movq    %r11, saved(%rip)
        movq    %rsp, saved+8(%rip)
        movq    %rbx, saved+16(%rip)
        movq    %rbp, saved+24(%rip)
        movq    %rdi, saved+32(%rip)
        movq    %rsi, saved+40(%rip)
        movq    %r12, saved+48(%rip)
        movq    %r13, saved+56(%rip)
        movq    %r14, saved+64(%rip)
        movq    %r15, saved+72(%rip)
        .irp n, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15
        movdqu  %xmm\n, saved_xmm+16*(\n-6)(%rip)
        movdqu  canary_xmm+16*(\n-6)(%rip), %xmm\n
        .endr

        movq    nubix_real_client(%rip), %rcx   /* the real object replaces the view */
        movq    (%rcx), %r10
        movq    (%r10,%rax,8), %r10

        movabsq CANARY(1), %rbx
        movabsq CANARY(2), %rbp
        movabsq CANARY(3), %rdi
        movabsq CANARY(4), %rsi
        movabsq CANARY(5), %r12
        movabsq CANARY(6), %r13
        movabsq CANARY(7), %r14
        movabsq CANARY(8), %r15
        callq   *%r10

        /* RAX holds the result: compare with R10, R11, RCX, RDX and XMM5 only. */
        xorl    %ecx, %ecx
        cmpq    saved+8(%rip), %rsp
        je      1f
        orl     $1, %ecx
1:
        CHECK_GPR rbx, 1
        CHECK_GPR rbp, 2
        CHECK_GPR rdi, 3
        CHECK_GPR rsi, 4
        CHECK_GPR r12, 5
        CHECK_GPR r13, 6
        CHECK_GPR r14, 7
        CHECK_GPR r15, 8
        .irp n, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15
        movdqu  canary_xmm+16*(\n-6)(%rip), %xmm5
        pcmpeqb %xmm\n, %xmm5
        pmovmskb %xmm5, %edx
        cmpl    $0xFFFF, %edx
        je      2f
        orl     $(1 << (\n + 3)), %ecx
2:
        .endr
        orl     %ecx, nubix_clobbered(%rip)

        movq    saved+8(%rip), %rsp
        movq    saved+16(%rip), %rbx
        movq    saved+24(%rip), %rbp
        movq    saved+32(%rip), %rdi
        movq    saved+40(%rip), %rsi
        movq    saved+48(%rip), %r12
        movq    saved+56(%rip), %r13
        movq    saved+64(%rip), %r14
        movq    saved+72(%rip), %r15
        .irp n, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15
        movdqu  saved_xmm+16*(\n-6)(%rip), %xmm\n
        .endr
        pushq   saved(%rip)
        ret

/* A slot that breaks the convention on purpose (RBX, R14 and XMM7 changed), so the
 * host can show that the check sees it. */
nubix_clobbering_slot:
        xorl    %ebx, %ebx
        xorl    %r14d, %r14d
        pxor    %xmm7, %xmm7
        xorl    %eax, %eax
        ret
