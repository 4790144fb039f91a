// Included ahead of every source of the shipping code (cmake/lean_code.cmake).
// libstdc++ declares std::string and std::wstring (and its streams) as
// instantiated in the library, so every program links the library's whole
// string-inst objects: all members, built with exceptions, with their unwind
// tables and the exception machinery behind them. Turning the declarations
// off makes each program instantiate only the members it uses, built as the
// program is.
#pragma once
#ifdef __cplusplus
#include <bits/c++config.h>
#undef _GLIBCXX_EXTERN_TEMPLATE
#define _GLIBCXX_EXTERN_TEMPLATE 0
#endif
