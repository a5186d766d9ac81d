/* status_name_c.c - compiled as strict C11: the device library's public
 * header must stay usable from C (no C++ in it, its inline helper included).
 * The C++ tests call these functions and compare with the C++ view. */
#include "KelPcieApi.h"

#if !defined(__STDC_VERSION__) || __STDC_VERSION__ < 201112L
#error "this file must be compiled as C11"
#endif

_Static_assert(KELPCIE_API_VERSION
                   == KELPCIE_API_VERSION_MAJOR * 10000 + KELPCIE_API_VERSION_MINOR * 100
                          + KELPCIE_API_VERSION_PATCH,
               "combined version");

const char *statusNameFromC(int32_t status);
int apiVersionFromC(void);

const char *statusNameFromC(int32_t status)
{
    return KelPcieStatusName(status);
}

int apiVersionFromC(void)
{
    return KELPCIE_API_VERSION;
}
