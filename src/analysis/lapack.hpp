// The LAPACK routines used: the single- and double-precision symmetric
// eigensolvers, reached through their Fortran symbols. The trailing arguments are the hidden
// lengths of the two character arguments that the Fortran calling convention passes.
#pragma once

#include <cstddef>

extern "C" void ssyev_(const char* jobz, const char* uplo, const int* n, float* a, const int* lda,
                       float* w, float* work, const int* lwork, int* info, std::size_t jobz_len,
                       std::size_t uplo_len);

extern "C" void dsyev_(const char* jobz, const char* uplo, const int* n, double* a, const int* lda,
                       double* w, double* work, const int* lwork, int* info, std::size_t jobz_len,
                       std::size_t uplo_len);
