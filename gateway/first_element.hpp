// Reading a number from the first element of an input, as espera and hasta
// take theirs. Only the functions that take a number include it, so the
// others import none of these host calls.
#pragma once

#include "host_api.hpp"

namespace gateway {

// Whether the array has a first real double element to read: any other class,
// or an empty array, has none (the host gives no data pointer for an empty
// array, and an int8 holds one byte, not eight). Ask before firstElement, and
// before the result is created, so that a refusal leaves nothing behind.
inline bool hasFirstDouble(const mxArray* array) {
    return mxIsDouble(array) && mxGetNumberOfElements(array) != 0;
}

// Element (1,1) of a double array that has one; of a complex one, its real
// part. A sparse array stores only some elements, and its first data slot
// holds the first *stored* one, or, when none is stored, whatever the host
// left there: (1,1) is stored only if column 1 has an entry and the first,
// whose row is the lowest, is in row 1. Otherwise it is zero, and the data
// are not read.
inline double firstElement(const mxArray* array) {
    if (!mxIsSparse(array)) return mxGetPr(array)[0];
    const mwIndex* columnStarts = mxGetJc(array);
    const mwIndex first = columnStarts[0];
    if (columnStarts[1] == first || mxGetIr(array)[first] != 0) return 0.0;
    return mxGetPr(array)[first];
}

}  // namespace gateway
