# The sanitizer build (-DTARKO_SANITIZE=ON): AddressSanitizer, LeakSanitizer
# and UndefinedBehaviorSanitizer, undefined behaviour fatal. Every program
# built after this gets the default options of SanitizerDefaults.cpp, among
# them the repository's leak suppressions.
add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)

add_library(tarko_sanitizer_defaults OBJECT ${CMAKE_CURRENT_LIST_DIR}/SanitizerDefaults.cpp)
target_compile_definitions(tarko_sanitizer_defaults PRIVATE
  TARKO_LSAN_SUPPRESSIONS="${PROJECT_SOURCE_DIR}/scripts/lsan.supp")
set_target_properties(tarko_sanitizer_defaults PROPERTIES AUTOMOC OFF)
link_libraries($<$<STREQUAL:$<TARGET_PROPERTY:TYPE>,EXECUTABLE>:tarko_sanitizer_defaults>)
