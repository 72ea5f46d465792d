// A DLL with nothing in it but one function, built beside the start-up test
// program: found by name there only while the default DLL search still looks
// in the program's own folder.
extern "C" __declspec(dllexport) int QuillsetDllProbe() { return 1; }
