# The warnings that the project's own code is held to (TRX_WERROR: as errors),
# for the main build and the build machine's tools.
add_compile_options(-Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion)
# GCC 12 warns of overlapping copies inside libstdc++'s string concatenation
# once it is inlined (-O2 and above): a false positive, which it gives for
# plain code such as u"\"" + std::u16string(n, u'x').
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12
   AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  add_compile_options(-Wno-restrict)
endif()
if(TRX_WERROR)
  add_compile_options(-Werror)
endif()
