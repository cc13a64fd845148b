#include <algorithm>
#include <atomic>
#include <vector>

#include "guarded.hpp"
#include "standin.hpp"

namespace {
thread_local std::size_t createdOnThisThread = 0;
std::atomic<std::size_t> live{0};
}

std::size_t standinElementSize(MxClass mxClass) {
    switch (mxClass) {
        case kMxDouble: case kMxInt64: case kMxUint64: return 8;
        case kMxSingle: case kMxInt32: case kMxUint32: return 4;
        case kMxInt16: case kMxUint16: case kMxChar: return 2;
        case kMxInt8: case kMxUint8: case kMxLogical: return 1;
        case kMxCell: case kMxStruct: return sizeof(void*);
    }
    return 1;
}

mxArray* standinCreateArray(MxClass mxClass, std::size_t rows, std::size_t columns, bool complex) {
    auto* array = new mxArray{mxClass, rows, columns, nullptr, nullptr, 0, false, nullptr, nullptr};
    ++live;
    const std::size_t bytes = rows * columns * standinElementSize(mxClass);
    if (bytes == 0) return array;
    // Real part, then imaginary part, with the last byte of whichever comes
    // last right before the guard page.
    array->blockBytes = complex ? 2 * bytes : bytes;
    array->real = host::allocateGuarded(array->blockBytes);
    if (complex) array->imag = static_cast<char*>(array->real) + bytes;
    return array;
}

mxArray* standinCreateSparse(std::size_t rows, std::size_t columns, const StandinStored* stored, std::size_t count,
                             double unusedValue) {
    std::vector<StandinStored> sorted(stored, stored + count);
    std::sort(sorted.begin(), sorted.end(), [](const StandinStored& a, const StandinStored& b) {
        return a.column != b.column ? a.column < b.column : a.row < b.row;
    });
    const std::size_t room = std::max<std::size_t>(count, 1);
    auto* array = new mxArray{kMxDouble, rows, columns, nullptr, nullptr, 0, false, nullptr, nullptr};
    ++live;
    array->blockBytes = room * sizeof(double);
    array->real = host::allocateGuarded(array->blockBytes);
    array->jc = new std::size_t[columns + 1]();
    array->ir = new std::size_t[room]();
    auto* data = static_cast<double*>(array->real);
    std::fill(data, data + room, unusedValue);
    for (std::size_t i = 0; i < count; ++i) {
        data[i] = sorted[i].value;
        array->ir[i] = sorted[i].row;
        ++array->jc[sorted[i].column + 1];
    }
    for (std::size_t j = 0; j < columns; ++j) array->jc[j + 1] += array->jc[j];
    return array;
}

void standinDestroyArray(mxArray* array) {
    if (array == nullptr) return;
    delete[] array->jc;
    delete[] array->ir;
    if (array->onHeap) {
        delete[] static_cast<double*>(array->real);
    } else {
        host::freeGuarded(array->real, array->blockBytes);
    }
    delete array;
    --live;
}

std::size_t standinCreatedCount() { return createdOnThisThread; }

std::size_t standinLiveCount() { return live; }

mxArray* mxCreateDoubleMatrix_730(std::size_t rows, std::size_t columns, int complexity) {
    ++createdOnThisThread;
    // Results are only written, so they live on the ordinary heap, as in the
    // real host (mapping a guard page per call would dominate a call's cost).
    const std::size_t elements = rows * columns;
    auto* array = new mxArray{kMxDouble, rows, columns, nullptr, nullptr, 0, true, nullptr, nullptr};
    ++live;
    if (elements == 0) return array;
    array->real = new double[complexity != 0 ? 2 * elements : elements]();
    if (complexity != 0) array->imag = static_cast<double*>(array->real) + elements;
    return array;
}

// Like the real host, hands out the data whatever the class is: reading it
// as doubles is the caller's mistake to avoid.
double* mxGetPr(const mxArray* array) { return static_cast<double*>(array->real); }

bool mxIsDouble(const mxArray* array) { return array->mxClass == kMxDouble; }

std::size_t mxGetNumberOfElements(const mxArray* array) { return array->rows * array->columns; }

bool mxIsSparse(const mxArray* array) { return array->jc != nullptr; }

std::size_t* mxGetJc_730(const mxArray* array) { return array->jc; }

std::size_t* mxGetIr_730(const mxArray* array) { return array->ir; }
