# Warnings are errors for the project's own code; applied per target so third-party code is spared.
function(ebook_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
                                           -Wold-style-cast -Wcast-align -Wunused -Woverloaded-virtual
                                           -Wnull-dereference -Werror)
endfunction()
