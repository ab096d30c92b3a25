/*
 * The checked view of a client for x64 C hosts (abi_check_x64.S): calls made through
 * nubix_checked_vtbl reach nubix_real_client, and every callee-saved register the
 * slot did not preserve is recorded in nubix_clobbered.
 */
#ifndef NUBIX_TEST_ABI_CHECK_X64_H
#define NUBIX_TEST_ABI_CHECK_X64_H

#include "NubixVSClient.h"

#define NUBIX_CLOBBERED_RSP 0x1u
#define NUBIX_CLOBBERED_GPR(n) (1u << (n))        /* 1 RBX 2 RBP 3 RDI 4 RSI 5-8 R12-R15 */
#define NUBIX_CLOBBERED_XMM(n) (1u << ((n) + 3))  /* XMM6 to XMM15 */

extern IVSClient* nubix_real_client;
extern unsigned nubix_clobbered;
extern const IVSClientVtbl nubix_checked_vtbl;
/* Changes RBX, R14 and XMM7 and returns 0: a slot that breaks the convention. */
extern void nubix_clobbering_slot(void);

#endif
