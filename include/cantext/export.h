// SPDX-License-Identifier: MIT
// CANTEXT_API marks what the shared library exports: the routines of the public headers, C and
// C++.  The library is compiled with every other name hidden, so that its internals are neither
// part of its interface nor reachable by other programs, and calls between them need no
// indirection through the symbol table.  A static library exports nothing of its own, so that it
// adds no names to a shared library or program that links it in.  C and C++.
#ifndef CANTEXT_EXPORT_H
#define CANTEXT_EXPORT_H

#if defined(CANTEXT_LIB_EXPORT) && defined(__GNUC__)
#define CANTEXT_API __attribute__((visibility("default")))
#else
#define CANTEXT_API
#endif

#endif
