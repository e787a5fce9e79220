# Warnings are errors for our own targets; third-party code (GoogleTest) is added without them.
add_library(kavo_warnings INTERFACE)
if(MSVC)
  target_compile_options(kavo_warnings INTERFACE /W4 /WX /utf-8 /permissive-)
else()
  target_compile_options(kavo_warnings INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                                                 -Wsign-conversion -Werror)
endif()
