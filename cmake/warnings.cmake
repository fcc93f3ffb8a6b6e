# Warnings are errors in our own code (not in third-party headers).
function(thwacko_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror)
endfunction()
