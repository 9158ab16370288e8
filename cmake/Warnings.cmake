# Our own code compiles with -Wall -Wextra and no warnings; JUCE's headers come in as system
# headers, so their warnings are not reported against us.
function(zarvo_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
endfunction()
