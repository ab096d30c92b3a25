/*
 * Checks that a call leaves the stack pointer where it was, for hosts written in C
 * or C++. A callee that removes more or fewer bytes than the caller pushed (a wrong
 * argument count, or caller clean-up where the callee should clean up) moves ESP.
 * Build the callers with -O0: no deferred stack adjustments, a frame pointer, so
 * the function survives a bad call long enough to report it. On x64 the caller
 * always cleans up, so the check there is of the stack pointer alone; the C host
 * checks the slots' callee-saved registers as well (abi_check_x64.h).
 */
#ifndef NUBIX_TEST_ESP_CHECK_H
#define NUBIX_TEST_ESP_CHECK_H

#include <stdint.h>
#include <stdio.h>

#if defined(_WIN64)
#define NUBIX_READ_ESP(v) __asm__ __volatile__("movq %%rsp, %0" : "=r"(v) : : "memory")
#else
#define NUBIX_READ_ESP(v) __asm__ __volatile__("movl %%esp, %0" : "=r"(v) : : "memory")
#endif

/* Evaluates `call`; stores ESP after minus ESP before in `delta` (an intptr_t). */
#define NUBIX_ESP_DELTA(delta, call)        \
    do {                                    \
        uintptr_t nubix_before_, nubix_after_; \
        NUBIX_READ_ESP(nubix_before_);      \
        call;                               \
        NUBIX_READ_ESP(nubix_after_);       \
        (delta) = (intptr_t)(nubix_after_ - nubix_before_); \
    } while (0)

#endif
