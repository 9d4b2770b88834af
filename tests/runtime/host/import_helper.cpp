// The DLL the importing test library needs (see importing_library.cpp).
extern "C" __declspec(dllexport) const char* TesselHelperText() { return "Text through the helper"; }
