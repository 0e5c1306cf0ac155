// The standard library instantiates std::string's members once, in its own
// archive, compiled with exceptions; linking those would bring the unwinder
// and a C runtime with them. Instantiating them here, in this build without
// exceptions, gives the linker every member it looks for, so the archive's
// copies are never pulled in.
#include <string>

template class std::basic_string<char>;
template std::string std::operator+(const char*, const std::string&);
template std::string std::operator+(char, const std::string&);
template std::string std::operator+(const std::string&, const std::string&);
