# Warnings in our own code (not in third-party headers). They stop the build only where
# THWACKO_WERROR is on (CI and developers' builds): another compiler's new warning must not
# break a user's or a packager's build.
option(THWACKO_WERROR "Treat warnings as errors" OFF)

function(thwacko_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic $<$<BOOL:${THWACKO_WERROR}>:-Werror>)
endfunction()
