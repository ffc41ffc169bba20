# Warnings are errors for the project's own code; applied per target so third-party code is spared.
function(ebook_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
                                           -Wold-style-cast -Wcast-align -Wunused -Woverloaded-virtual
                                           -Wnull-dereference -Werror)
  # GCC 12 at -O3 (the Release builds) warns of overlapping copies inside std::string's own inlined
  # appends that cannot happen (GCC bug 105329); the release and benchmark builds stopped on it.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE $<$<CONFIG:Release>:-Wno-restrict>)
  endif()
endfunction()
