// The native error code of the EZAException a call raises, for tests of the archive library.
#pragma once

#include "archive/ZAExcept.h"

// -1 when fn raises none.
template <class Fn>
int NativeErrorOf(Fn&& fn)
{
    try {
        fn();
    } catch (const EZAException& e) {
        return e.NativeError;
    }
    return -1;
}
