# Every target of ours builds warning-free with these.
add_library(pixhoard_warnings INTERFACE)
target_compile_options(pixhoard_warnings INTERFACE -Wall -Wextra -Wpedantic -Wno-missing-field-initializers)
