// mingw-w64's rpcndr.h, with MIDL_INTERFACE as the SDK's: it attaches the interface id
// to the interface, which is what MSVC's __uuidof (and so IID_PPV_ARGS and
// ComPtr::As) reads. mingw-w64 attaches the ids through templates of its own instead,
// and only when the compiler is not MSVC.
#include_next <rpcndr.h>

#undef MIDL_INTERFACE
#define MIDL_INTERFACE(x) struct __declspec(uuid(x)) __declspec(novtable)
