/* x64 test processes fill the address space below 4 GiB before main runs (see
 * low_address_fill.c), so that a pointer or handle cut to 32 bits fails a test. */
#ifndef NUBIX_TEST_LOW_ADDRESS_FILL_H
#define NUBIX_TEST_LOW_ADDRESS_FILL_H

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN64)
/* Non-zero once the free address space below 4 GiB has been reserved. */
int NubixLowAddressSpaceFilled(void);
#endif

#ifdef __cplusplus
}
#endif

#endif
